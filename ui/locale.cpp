#include "ui/locale.h"

namespace dw::ui {

namespace {

NumberMarks& Marks() {
  static NumberMarks marks;
  return marks;
}

// The runtime works in single-byte characters; anything else is unreadable.
char FirstByte(const QString& separator, char fallback) {
  if (separator.isEmpty()) return fallback;
  const QChar c = separator.at(0);
  if (c.unicode() == 0 || c.unicode() > 0x7F) return fallback;
  return static_cast<char>(c.unicode());
}

}  // namespace

NumberMarks NumberMarksFromLocale(const QLocale& locale) {
  NumberMarks marks;
  marks.decimal = FirstByte(locale.decimalPoint(), '.');
  marks.thousands = FirstByte(locale.groupSeparator(), ',');
  return marks;
}

const NumberMarks& CurrentNumberMarks() { return Marks(); }

void SetNumberMarks(const NumberMarks& marks) { Marks() = marks; }

}  // namespace dw::ui
