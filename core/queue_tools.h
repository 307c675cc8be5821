#pragma once

#include <QString>
#include <QStringList>

namespace shoulu {

class WindowOps;

// Appends the clipboard's lines to the queue with the import's normalisation and limit; the
// selection stays as it was. Panel 2 says how many were added, and how many lines were too long.
void PasteDomains(WindowOps &window);
// Where appended text came from; panel 2 names it.
enum class TextSource { Clipboard, Drop };
// The same with text from source.
void PasteText(WindowOps &window, const QString &text, TextSource source);

// Removes every later repeat of an entry (exact text), keeping the order; nothing stays
// selected when any went. Panel 2 says how many went.
void RemoveDuplicateEntries(WindowOps &window);
// Empties the queue once the user has said Yes.
void ClearQueueAsked(WindowOps &window);

} // namespace shoulu
