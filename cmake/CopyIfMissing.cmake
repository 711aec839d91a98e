# cmake -DSRC=<file> -DDST=<file> -P CopyIfMissing.cmake: copies SRC to DST
# unless DST exists, so a file the program has since rewritten is kept.
if(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
