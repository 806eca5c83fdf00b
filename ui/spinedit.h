#pragma once
// The count boxes: a one-line edit with a pair of up and down buttons on its
// right edge. The text is the only storage of the value; reading it back
// never clamps, stepping and leaving the box do.
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdint>

namespace dw::ui {

// A flat button that repeats its click while held: the first repeat after
// 400 ms, then every 100 ms, and one more click at release over the button.
class TTimerSpeedButton : public QWidget {
  Q_OBJECT
 public:
  enum class Arrow { Up, Down };
  TTimerSpeedButton(Arrow arrow, QWidget* parent);

  bool IsShownPressed() const { return shownPressed_; }
  // The repeat timer; none before the first press.
  QTimer* RepeatTimer() const { return repeatTimer_; }

 signals:
  void Click();

 public slots:
  // One firing of the repeat timer.
  void RepeatTick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Arrow arrow_;
  QTimer* repeatTimer_ = nullptr;
  bool leftHeld_ = false;      // the left button went down here and holds the capture
  bool shownPressed_ = false;  // ... and the pointer is over the button
};

// The two stacked buttons; the up button on top. It never keeps the focus:
// a left press gives it to FocusControl.
class TSpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit TSpinButton(QWidget* parent);

  void SetFocusControl(QWidget* control) { focusControl_ = control; }
  TTimerSpeedButton* UpButton() const { return up_; }
  TTimerSpeedButton* DownButton() const { return down_; }

 signals:
  void OnUpClick();
  void OnDownClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayoutButtons();
  QWidget* focusControl_ = nullptr;
  TTimerSpeedButton* up_;
  TTimerSpeedButton* down_;
};

class TSpinEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TSpinEdit(QWidget* parent = nullptr);

  int32_t MinValue() const { return minValue_; }
  int32_t MaxValue() const { return maxValue_; }
  int32_t Increment() const { return increment_; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetMinValue(int32_t v) { minValue_ = v; }
  void SetMaxValue(int32_t v) { maxValue_ = v; }
  void SetIncrement(int32_t v) { increment_ = v; }
  void SetEditorEnabled(bool on) { editorEnabled_ = on; }
  bool SelectAllOnEntry() const { return selectAllOnEntry_; }
  void SetSelectAllOnEntry(bool on) { selectAllOnEntry_ = on; }

  // The text parsed as the runtime's integer, MinValue when it is none.
  int32_t Value() const;
  // Clamps, then shows the decimal text.
  void SetValue(int32_t v);
  // Within the limits, unless MinValue equals MaxValue.
  int32_t Clamp(int32_t v) const;

  void UpClick();
  void DownClick();

  TSpinButton* Button() const { return button_; }
  // Where the text is drawn, in the box's pixels: inside the frame, short of
  // the buttons, less the edit's own two pixels either side.
  QRect TextRect() const;
  // The width TextRect must have to show the widest of the limits' texts in
  // the box's font without scrolling (the edit keeps room for its cursor).
  int WidestValueWidth() const;

 signals:
  // Leaving the box changed a value out of its limits into `kept`.
  void Clamped(int typed, int kept);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  bool CharacterAccepted(QChar c) const;
  bool CutAndPasteAllowed() const { return editorEnabled_ && !isReadOnly(); }
  void PlaceButton();
  int MinimumHeight() const;

  int32_t minValue_ = 0;
  int32_t maxValue_ = 0;
  int32_t increment_ = 1;
  bool editorEnabled_ = true;
  bool selectAllOnEntry_ = true;
  TSpinButton* button_;
};

}  // namespace dw::ui
