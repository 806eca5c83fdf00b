#include "ui/spinedit.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyleOptionFrame>
#include <algorithm>
#include <string>

#include "runtime/inttext.h"
#include "runtime/numtext.h"
#include "ui/locale.h"
#include "ui/messages.h"

namespace dw::ui {

namespace {

constexpr int kInitialRepeatPause = 400;  // ms before the first repeat
constexpr int kRepeatPause = 100;         // ms between repeats
constexpr int kMinButtonWidth = 15;
constexpr int kSystemBorderHeight = 1;
// The edit's 3-D border; the button is placed in the client area inside it.
constexpr int kClientEdge = 2;
// What the line edit keeps free either side of its text, and the room it
// wants after the text for the cursor.
constexpr int kTextSideMargin = 2;
constexpr int kCursorRoom = 2;

}  // namespace

// ---------------------------------------------------------------------------

TTimerSpeedButton::TTimerSpeedButton(Arrow arrow, QWidget* parent)
    : QWidget(parent), arrow_(arrow) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void TTimerSpeedButton::RepeatTick() {
  if (repeatTimer_) repeatTimer_->setInterval(kRepeatPause);
  if (!(shownPressed_ && leftHeld_)) return;
  try {
    emit Click();
  } catch (...) {
    if (repeatTimer_) repeatTimer_->stop();
    throw;
  }
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftHeld_ = true;
    shownPressed_ = true;
    update();
  }
  if (!repeatTimer_) {
    repeatTimer_ = new QTimer(this);
    connect(repeatTimer_, &QTimer::timeout, this, &TTimerSpeedButton::RepeatTick);
  }
  repeatTimer_->setInterval(kInitialRepeatPause);
  repeatTimer_->start();
  event->accept();
}

void TTimerSpeedButton::mouseMoveEvent(QMouseEvent* event) {
  if (!leftHeld_) return;
  const bool over = rect().contains(event->position().toPoint());
  if (over != shownPressed_) {
    shownPressed_ = over;
    update();
  }
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && leftHeld_) {
    const bool over = rect().contains(event->position().toPoint());
    leftHeld_ = false;
    shownPressed_ = false;
    update();
    if (over) {
      try {
        emit Click();
      } catch (...) {
        if (repeatTimer_) repeatTimer_->stop();
        throw;
      }
    }
  }
  if (repeatTimer_) repeatTimer_->stop();
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, palette().button());
  // Flat until pressed: a sunken edge while held, a raised one under the pointer.
  if (shownPressed_ || underMouse()) {
    const QColor light = palette().light().color();
    const QColor dark = palette().dark().color();
    p.setPen(shownPressed_ ? dark : light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(shownPressed_ ? light : dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
  }
  const int cx = r.width() / 2 + (shownPressed_ ? 1 : 0);
  const int cy = r.height() / 2 + (shownPressed_ ? 1 : 0);
  const int half = std::max(1, std::min(r.width() / 4, r.height() / 3));
  QPolygon arrow;
  if (arrow_ == Arrow::Up)
    arrow << QPoint(cx - half, cy + half / 2) << QPoint(cx + half, cy + half / 2)
          << QPoint(cx, cy - half / 2 - 1);
  else
    arrow << QPoint(cx - half, cy - half / 2) << QPoint(cx + half, cy - half / 2)
          << QPoint(cx, cy + half / 2 + 1);
  p.setPen(Qt::NoPen);
  p.setBrush(isEnabled() ? palette().buttonText() : palette().mid());
  p.drawPolygon(arrow);
}

// ---------------------------------------------------------------------------

TSpinButton::TSpinButton(QWidget* parent)
    : QWidget(parent),
      up_(new TTimerSpeedButton(TTimerSpeedButton::Arrow::Up, this)),
      down_(new TTimerSpeedButton(TTimerSpeedButton::Arrow::Down, this)) {
  setFocusPolicy(Qt::NoFocus);
  setMinimumWidth(kMinButtonWidth);
  up_->setObjectName("UpButton");
  down_->setObjectName("DownButton");
  up_->installEventFilter(this);
  down_->installEventFilter(this);
  connect(up_, &TTimerSpeedButton::Click, this, &TSpinButton::OnUpClick);
  connect(down_, &TTimerSpeedButton::Click, this, &TSpinButton::OnDownClick);
  resize(15, 17);
  LayoutButtons();
}

void TSpinButton::LayoutButtons() {
  const int w = width();
  const int upHeight = height() / 2;
  up_->setGeometry(0, 0, w, upHeight);
  // The two buttons share one pixel row.
  const int downTop = upHeight - 1;
  down_->setGeometry(0, downTop, w, height() - downTop);
  down_->raise();
}

void TSpinButton::resizeEvent(QResizeEvent*) { LayoutButtons(); }

bool TSpinButton::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && focusControl_ && !focusControl_->hasFocus())
      focusControl_->setFocus(Qt::MouseFocusReason);
  }
  return false;
}

// ---------------------------------------------------------------------------

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent), button_(new TSpinButton(this)) {
  button_->SetFocusControl(this);
  connect(button_, &TSpinButton::OnUpClick, this, &TSpinEdit::UpClick);
  connect(button_, &TSpinButton::OnDownClick, this, &TSpinEdit::DownClick);
  setText("0");
  setMinimumHeight(MinimumHeight());
  PlaceButton();
}

int32_t TSpinEdit::Value() const {
  const std::string text = this->text().toStdString();
  return ParseInteger(text).value_or(minValue_);
}

int32_t TSpinEdit::Clamp(int32_t v) const {
  if (minValue_ == maxValue_) return v;
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return v;
}

void TSpinEdit::SetValue(int32_t v) {
  setText(QString::fromStdString(FormatInteger(Clamp(v))));
}

// 32-bit arithmetic wraps, as the stepped value is written back through Clamp.
static int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void TSpinEdit::UpClick() {
  if (isReadOnly()) {
    Beep();
    return;
  }
  SetValue(WrappingAdd(Value(), increment_));
}

void TSpinEdit::DownClick() {
  if (isReadOnly()) {
    Beep();
    return;
  }
  SetValue(WrappingAdd(Value(), -increment_));
}

bool TSpinEdit::CharacterAccepted(QChar c) const {
  const char16_t code = c.unicode();
  const bool acceptable = (code >= u'0' && code <= u'9') || code == u'+' || code == u'-' ||
                          code == static_cast<unsigned char>(CurrentNumberMarks().decimal) ||
                          (code < 32 && code != 13);
  if (!acceptable) return false;
  if (!editorEnabled_ && (code >= 32 || code == 8 || code == u'.')) return false;
  return true;
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) {
    UpClick();
  } else if (event->key() == Qt::Key_Down) {
    DownClick();
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Never a line break, and never passed on to a default button.
    Beep();
    event->accept();
    return;
  }
  if ((event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste)) &&
      !CutAndPasteAllowed()) {
    event->accept();
    return;
  }
  // Keys that make no character (arrows, Delete, Home…) edit as usual; a
  // Ctrl combination makes a control character, which is always acceptable.
  const QString text = event->text();
  const bool control = (event->modifiers() & Qt::ControlModifier) && !(event->modifiers() & Qt::AltModifier);
  if (!text.isEmpty() && !control && event->key() != Qt::Key_Delete &&
      !CharacterAccepted(text.at(0))) {
    Beep();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  if (!CutAndPasteAllowed()) {
    for (QAction* action : menu->actions())
      if (action->objectName() == "edit-cut" || action->objectName() == "edit-paste")
        action->setEnabled(false);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TSpinEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (selectAllOnEntry_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) selectAll();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A dialog or menu over the window takes no focus from the form's control.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    return;
  const int32_t v = Value();
  if (Clamp(v) == v) return;
  SetValue(v);
  emit Clamped(v, Value());
}

int TSpinEdit::MinimumHeight() const {
  const int textHeight = fontMetrics().height();
  const int systemHeight = QFontMetrics(QApplication::font()).height();
  return 4 * kSystemBorderHeight + textHeight + std::min(systemHeight, textHeight) / 4 + 2;
}

void TSpinEdit::PlaceButton() {
  const int bw = std::max(kMinButtonWidth, button_->width());
  if (hasFrame())
    button_->setGeometry(kClientEdge + width() - 2 * kClientEdge - bw - 1, kClientEdge, bw,
                         height() - 5);
  else
    button_->setGeometry(width() - bw, 1, bw, height() - 3);
  // The text stops two pixels short of the buttons.
  setTextMargins(0, 0, bw + 2, 0);
}

QRect TSpinEdit::TextRect() const {
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
  return contents.marginsRemoved(textMargins()).adjusted(kTextSideMargin, 0, -kTextSideMargin, 0);
}

int TSpinEdit::WidestValueWidth() const {
  const QFontMetrics metrics = fontMetrics();
  int widest = 0;
  for (int32_t limit : {minValue_, maxValue_})
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(FormatInteger(limit))));
  return widest + kCursorRoom;
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceButton();
}

void TSpinEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    setMinimumHeight(MinimumHeight());
    PlaceButton();
  }
}

}  // namespace dw::ui
