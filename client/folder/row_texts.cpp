// Texts of folder-list lines.
#include "folder/row_texts.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include "framework/text.h"

namespace pelldesk {
namespace {

bool IsUnknown(const MailDate& date) {
  return date.Year == 0 && date.Month == 0 && date.DayOfWeek == 0 && date.Day == 0 && date.Hour == 0 &&
         date.Minute == 0 && date.Second == 0 && date.Milliseconds == 0;
}

}  // namespace

QString ReceivedDateText(const MailDate& date) {
  const QDate day(date.Year, date.Month, date.Day);
  if (!day.isValid()) return kUnknownDate;
  const QString text = QLocale().toString(day, QLocale::ShortFormat);
  return text.isEmpty() ? QString(kUnknownDate) : text.left(32);
}

QString ReceivedTimeText(const MailDate& date) {
  // An all-zero record stands for "no date", not for midnight. Seconds are not shown,
  // so a date that gave none (65535) still has a time.
  const QTime time(date.Hour, date.Minute);
  if (IsUnknown(date) || date.Hour > 23 || date.Minute > 59 || !time.isValid()) return kUnknownDate;
  const QLocale locale;
  const QString text = locale.toString(time, WithoutSeconds(locale.timeFormat(QLocale::ShortFormat)));
  return text.isEmpty() ? QString(kUnknownDate) : text.left(32);
}

QString WithoutSeconds(const QString& format) {
  QString result;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == '\'') quoted = !quoted;
    if (quoted || c != 's') {
      result += c;
      continue;
    }
    // Drop the separator that led to the seconds ("HH:mm:ss" becomes "HH:mm").
    while (!result.isEmpty() && !result.back().isLetter() && result.back() != '\'') result.chop(1);
    while (i + 1 < format.size() && format[i + 1] == 's') ++i;
  }
  return result;
}

RowTexts RowTextsOf(const MessageEntry& entry) {
  RowTexts texts;
  texts.number = QString::number(entry.number);
  texts.date = ReceivedDateText(entry.received);
  texts.time = ReceivedTimeText(entry.received);
  texts.from = fw::ToQt(entry.from);
  texts.subject = fw::ToQt(entry.subject);
  return texts;
}

}  // namespace pelldesk
