#pragma once
// The designed form: every length given in design pixels (120 pixels per
// inch) and scaled by the window's text height, and the helpers each tab
// places its controls and opens its file dialogs with.
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace dw::ui {

class TSpinEdit;

class TFormScale {
 public:
  TFormScale() = default;
  // The window's text height and the same font's height at the design size.
  TFormScale(int textHeight, int designTextHeight)
      : textHeight_(textHeight), designTextHeight_(designTextHeight) {}

  // A design length in pixels at this form's resolution.
  int Scaled(int designPixels) const;
  void Place(QWidget* widget, int l, int t, int w, int h) const;
  // Places a control that shows a caption, grown to its text where the
  // fallback font needs more room than the designed size, centred on its
  // designed box, so no caption is cut off.
  void PlaceCaption(QWidget* widget, int l, int t, int w, int h) const;

 private:
  int textHeight_ = 16;
  int designTextHeight_ = 16;
};

// The control's tooltip and status-bar hint.
void SetHint(QWidget* widget, const char* hint);
// Widens a count box about its designed centre until its widest value shows.
void FitCountBox(TSpinEdit* box);

// What a file dialog asks.
struct FileQuestion {
  const char* name = "";  // the dialog's object name
  QString title;          // empty: the dialog's own ("Open", "Save As")
  QStringList filters;
  // Named in the name box, in its own folder (absolute or not); empty for none.
  QString current;
  QString folder;  // opened when `current` is empty
  bool save = false;
  // Added to a name typed without an extension; a save dialog's follows the
  // type chosen in the list.
  QString suffix = "txt";
};

// The file the user chose, empty when cancelled; `chosenFilter`, when given,
// receives the type chosen. The dialog opens large enough to show its
// columns, and its size, type and date columns take their text's width once
// shown, whatever widths an earlier dialog kept.
QString AskFileName(QWidget* owner, const TFormScale& form, const FileQuestion& question,
                    QString* chosenFilter = nullptr);

}  // namespace dw::ui
