#pragma once
// The window's number marks: the user's locale, read at start and again when
// the system tells of a locale change. The boxes and the run read them here.
#include <QLocale>

#include "runtime/numtext.h"

namespace dw::ui {

// The first characters of the locale's decimal and group separators; "." and
// "," when a separator is not a single-byte character.
NumberMarks NumberMarksFromLocale(const QLocale& locale);

const NumberMarks& CurrentNumberMarks();
void SetNumberMarks(const NumberMarks& marks);

}  // namespace dw::ui
