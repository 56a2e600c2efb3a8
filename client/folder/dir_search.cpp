// Folder-list search and the shared find state.
#include "folder/dir_search.h"

#include "folder/dir_doc.h"

namespace pelldesk {

FindState& SharedFindState() {
  static FindState state;
  return state;
}

std::string LowerCase(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = static_cast<char>(u + 0x20);
  }
  return lower;
}

int FindEntry(const CDirDoc& doc, const std::string& text, bool down, bool matchCase, int matchIn, int selection) {
  const std::string needle = matchCase ? text : LowerCase(text);
  const int step = down ? 1 : -1;
  int row = selection >= 0 ? selection + step : (down ? 0 : doc.count() - 1);
  for (; row >= 0 && row < doc.count(); row += step) {
    const MessageEntry& entry = doc.GetEntry(row);
    if (!IsLiveEntry(entry.state)) continue;
    static const std::string kNothing;
    const std::string& field = matchIn == kMatchInFrom      ? entry.from
                               : matchIn == kMatchInSubject ? entry.subject
                                                            : kNothing;
    const std::string haystack = matchCase ? field : LowerCase(field);
    if (haystack.find(needle) != std::string::npos) return row;
  }
  return -1;
}

}  // namespace pelldesk
