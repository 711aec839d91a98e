#pragma once
// One item's output, from the partial file its encoder writes to until it
// has its final name or is gone: the file recorded in the partials list
// while it exists, handed to the encoder, checked, then named.

#include "conversion/PartialOutput.h"

#include <QString>
#include <functional>

class TPartialsList;

class TItemOutput {
public:
    // list may be null (nothing recorded).
    explicit TItemOutput(TPartialsList *list) : m_list(list) {}
    // Removes a partial file that never got its final name.
    ~TItemOutput();
    TItemOutput(const TItemOutput &) = delete;
    TItemOutput &operator=(const TItemOutput &) = delete;

    // Makes the partial file for finalPath and records it, before any
    // encoder starts. False, with the reason in words, when it cannot be made.
    bool Begin(const QString &finalPath, QString &failure);
    const TPartialOutput &Partial() const { return m_partial; }

    // Gives the checked output its final name: finalPath, or where that has
    // been taken meanwhile and replace is false, the names nextFreeName
    // gives in turn ("" when none is left). Returns the path it took, or ""
    // with the reason in failure ("The output folder changed while
    // converting." when a name did not hold this file).
    QString Commit(bool replace, const std::function<QString()> &nextFreeName, QString &failure);
    // Removes the partial file (only while its name still holds it).
    void Discard();

private:
    void Forget();

    TPartialsList *m_list;
    TPartialOutput m_partial;
    QString m_finalPath;
    bool m_recorded = false;
    bool m_done = false;
};
