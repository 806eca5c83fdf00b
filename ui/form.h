#pragma once
// The designed form: every length given in design pixels (120 pixels per
// inch) and scaled by the window's text height, and the helpers each tab
// places its controls and opens its file dialogs with.
#include <QString>

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

// The open and save dialogs: their filter's default extension, a size that
// shows their columns, columns wide enough to read once shown, and
// `current` (a file name, absolute or not; empty for none) in the name box
// in its own folder.
void PrepareFileDialog(QFileDialog& dialog, const TFormScale& form, const QString& current);

}  // namespace dw::ui
