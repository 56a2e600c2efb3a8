// The texts one folder-list line shows: the message number, the receive date and time
// in the user's locale (the time without seconds), the sender and the subject. A date
// that cannot be formatted, as an all-zero one, reads "--unk--".
#pragma once

#include <QString>

#include "folder/message_entry.h"

namespace pelldesk {

inline constexpr char kUnknownDate[] = "--unk--";

struct RowTexts {
  QString number;
  QString date;
  QString time;
  QString from;
  QString subject;
};

// The short date of the default locale, or "--unk--" for a date that is no calendar day.
QString ReceivedDateText(const MailDate& date);
// Hour and minute in the default locale's short time form without seconds, or "--unk--".
QString ReceivedTimeText(const MailDate& date);
// `format` (a locale's time format) with its seconds and their separator removed.
QString WithoutSeconds(const QString& format);

RowTexts RowTextsOf(const MessageEntry& entry);

}  // namespace pelldesk
