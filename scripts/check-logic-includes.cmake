# Fails when a file of the plain-logic library includes a widget or GUI
# header: that library links Qt Core only. FILES is the ;-list of its files.
string(REPLACE "|" ";" files "${FILES}")
set(bad "")
foreach(file ${files})
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "<Qt(Widgets|Gui|Multimedia|MultimediaWidgets|DBus)/"
       OR line MATCHES "<Q(Widget|Application|Dialog|MainWindow|MessageBox|Label|Painter|Pixmap|Image|Icon|Font|Color|Screen|Action|Menu|GuiApplication)>"
       OR line MATCHES "\"app/|\"(settings/Settings|profiles/ValueList|preview/PreviewWidgets|preview/QtMediaGraph)")
      string(APPEND bad "  ${file}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "The plain logic must not include GUI headers:\n${bad}")
endif()
