// The count box driven as a user drives it: keys, clipboard, focus changes
// and the mouse on its buttons.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include "ui/locale.h"
#include "ui/messages.h"
#include "ui/spinedit.h"

using dw::ui::TSpinEdit;
using dw::ui::TTimerSpeedButton;

class SpinEditTest : public QObject {
  Q_OBJECT

 private:
  QWidget* window_ = nullptr;
  TSpinEdit* edit_ = nullptr;
  QLineEdit* other_ = nullptr;
  int beeps_ = 0;

  // A box with the P limits, beside another box to move the focus to.
  void MakeBox(int32_t min, int32_t max, int32_t step, int32_t value) {
    delete window_;
    window_ = new QWidget;
    edit_ = new TSpinEdit(window_);
    edit_->SetMinValue(min);
    edit_->SetMaxValue(max);
    edit_->SetIncrement(step);
    edit_->SetValue(value);
    edit_->setGeometry(10, 10, 57, 26);
    other_ = new QLineEdit(window_);
    other_->setGeometry(10, 50, 57, 24);
    window_->resize(200, 100);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    edit_->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(edit_->hasFocus());
    beeps_ = 0;
  }

  void ReplaceText() {
    edit_->selectAll();
    QTest::keyClick(edit_, Qt::Key_Backspace);
  }

  void LeaveBox() {
    other_->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(other_->hasFocus());
  }

  void Press(QWidget* w, QPoint at) {
    QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  void Move(QWidget* w, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  void Release(QWidget* w, QPoint at) {
    QMouseEvent e(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }

 private slots:
  void init() {
    dw::ui::SetNumberMarks(dw::NumberMarks{'.', ','});
    dw::ui::SetBeepHook([this] { ++beeps_; });
  }
  void cleanupTestCase() {
    delete window_;
    dw::ui::SetBeepHook({});
  }

  // The P box: what the run reads back, and what the box shows once the
  // focus has left it.
  void ReadBackAndFocusLoss_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<int>("readBack");
    QTest::addColumn<QString>("afterLeaving");
    QTest::newRow("10") << "10" << false << 10 << "10";
    QTest::newRow("150") << "150" << false << 150 << "100";
    QTest::newRow("1") << "1" << false << 1 << "2";
    QTest::newRow("-5") << "-5" << false << -5 << "2";
    QTest::newRow("empty") << "" << false << 2 << "";
    QTest::newRow("abc pasted") << "abc" << true << 2 << "abc";
    QTest::newRow("10 and a space pasted") << "10 " << true << 2 << "10 ";
    QTest::newRow("1.5 typed") << "1.5" << false << 2 << "1.5";
    QTest::newRow("hexadecimal pasted") << "$FF" << true << 255 << "100";
    QTest::newRow("+7 stays as typed") << "+7" << false << 7 << "+7";
  }
  void ReadBackAndFocusLoss() {
    QFETCH(QString, input);
    QFETCH(bool, pasted);
    QFETCH(int, readBack);
    QFETCH(QString, afterLeaving);
    MakeBox(2, 100, 1, 10);
    ReplaceText();
    if (pasted) {
      QApplication::clipboard()->setText(input);
      QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    } else {
      QTest::keyClicks(edit_, input);
    }
    QCOMPARE(edit_->text(), input);
    QCOMPARE(beeps_, 0);
    QCOMPARE(edit_->Value(), readBack);
    LeaveBox();
    QCOMPARE(edit_->text(), afterLeaving);
  }

  // Letters, spaces and a foreign decimal separator are refused with a beep;
  // the locale's separator, signs and digits go in.
  void TypingRules() {
    MakeBox(2, 100, 1, 10);
    ReplaceText();
    QTest::keyClicks(edit_, "1a 2");
    QCOMPARE(edit_->text(), QString("12"));
    QCOMPARE(beeps_, 2);

    dw::ui::SetNumberMarks(dw::NumberMarks{',', ' '});
    ReplaceText();
    beeps_ = 0;
    QTest::keyClicks(edit_, "1.5");
    QCOMPARE(edit_->text(), QString("15"));
    QCOMPARE(beeps_, 1);
    ReplaceText();
    QTest::keyClicks(edit_, "-1,5");
    QCOMPARE(edit_->text(), QString("-1,5"));
    QCOMPARE(beeps_, 1);
  }

  void EnterBeepsAndChangesNothing() {
    MakeBox(2, 100, 1, 150);  // clamped at creation
    QCOMPARE(edit_->text(), QString("100"));
    ReplaceText();
    QTest::keyClicks(edit_, "42");
    QTest::keyClick(edit_, Qt::Key_Return);
    QTest::keyClick(edit_, Qt::Key_Enter);
    QCOMPARE(beeps_, 2);
    QCOMPARE(edit_->text(), QString("42"));
    QCOMPARE(edit_->Value(), 42);
  }

  void ArrowKeysStepAndClamp() {
    MakeBox(2, 100, 1, 10);
    ReplaceText();
    QTest::keyClick(edit_, Qt::Key_Up);  // empty reads as 2
    QCOMPARE(edit_->text(), QString("3"));
    edit_->SetValue(2);
    QTest::keyClick(edit_, Qt::Key_Down);
    QCOMPARE(edit_->text(), QString("2"));
    // Stepping clamps a typed value beyond the limits.
    ReplaceText();
    QTest::keyClicks(edit_, "500");
    QTest::keyClick(edit_, Qt::Key_Down);
    QCOMPARE(edit_->text(), QString("100"));

    MakeBox(5, 5000, 10, 4995);
    QTest::keyClick(edit_, Qt::Key_Up);
    QCOMPARE(edit_->text(), QString("5000"));
    QTest::keyClick(edit_, Qt::Key_Up);
    QCOMPARE(edit_->text(), QString("5000"));

    edit_->setReadOnly(true);
    QTest::keyClick(edit_, Qt::Key_Down);
    QCOMPARE(edit_->text(), QString("5000"));
    QCOMPARE(beeps_, 1);
  }

  void NoLimitsWhenMinEqualsMax() {
    MakeBox(0, 0, 1, -7);
    QCOMPARE(edit_->text(), QString("-7"));
    ReplaceText();
    QTest::keyClicks(edit_, "123456");
    LeaveBox();
    QCOMPARE(edit_->text(), QString("123456"));
  }

  void EditorDisabledRefusesTypingAndPaste() {
    MakeBox(2, 100, 1, 10);
    edit_->SetEditorEnabled(false);
    edit_->selectAll();
    QTest::keyClicks(edit_, "5");
    QTest::keyClick(edit_, Qt::Key_Backspace);
    QCOMPARE(beeps_, 2);
    QApplication::clipboard()->setText("77");
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit_, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit_->text(), QString("10"));
    QTest::keyClick(edit_, Qt::Key_Up);  // the buttons and keys still step
    QCOMPARE(edit_->text(), QString("11"));
  }

  // A click gives one step at release; the buttons give the focus to the box.
  void ButtonClickStepsOnceAtRelease() {
    MakeBox(2, 100, 1, 10);
    LeaveBox();
    TTimerSpeedButton* up = edit_->Button()->UpButton();
    TTimerSpeedButton* down = edit_->Button()->DownButton();
    const QPoint c = up->rect().center();
    Press(up, c);
    QVERIFY(edit_->hasFocus());
    QCOMPARE(edit_->text(), QString("10"));
    Release(up, c);
    QCOMPARE(edit_->text(), QString("11"));
    QTest::mouseClick(down, Qt::LeftButton, {}, down->rect().center());
    QCOMPARE(edit_->text(), QString("10"));
    // Released away from the button: no step.
    Press(up, c);
    Move(up, QPoint(-30, -30));
    Release(up, QPoint(-30, -30));
    QCOMPARE(edit_->text(), QString("10"));
  }

  void RepeatTimerSchedule() {
    MakeBox(2, 100, 1, 10);
    TTimerSpeedButton* up = edit_->Button()->UpButton();
    const QPoint c = up->rect().center();
    Press(up, c);
    QVERIFY(up->RepeatTimer());
    QVERIFY(up->RepeatTimer()->isActive());
    QCOMPARE(up->RepeatTimer()->interval(), 400);
    up->RepeatTick();
    QCOMPARE(up->RepeatTimer()->interval(), 100);
    QCOMPARE(edit_->text(), QString("11"));
    up->RepeatTick();
    QCOMPARE(edit_->text(), QString("12"));
    // Off the button it no longer shows pressed and does not repeat.
    Move(up, QPoint(-30, -30));
    QVERIFY(!up->IsShownPressed());
    up->RepeatTick();
    QCOMPARE(edit_->text(), QString("12"));
    Move(up, c);
    up->RepeatTick();
    QCOMPARE(edit_->text(), QString("13"));
    Release(up, c);
    QCOMPARE(edit_->text(), QString("14"));
    QVERIFY(!up->RepeatTimer()->isActive());
    // A second press starts again from 400 ms.
    Press(up, c);
    QCOMPARE(up->RepeatTimer()->interval(), 400);
    Release(up, c);
    QCOMPARE(edit_->text(), QString("15"));
  }

  // The same on the clock: nothing before 400 ms, then every 100 ms, and one
  // more at release.
  void RepeatTimingOnTheClock() {
    MakeBox(0, 1000, 1, 0);
    TTimerSpeedButton* up = edit_->Button()->UpButton();
    const QPoint c = up->rect().center();
    QElapsedTimer clock;
    clock.start();
    Press(up, c);
    QTest::qWait(300);
    if (clock.elapsed() < 390) QCOMPARE(edit_->Value(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(edit_->Value(), 1, 1000);
    QVERIFY(clock.elapsed() >= 400);
    QTRY_COMPARE_WITH_TIMEOUT(edit_->Value(), 3, 1000);
    const qint64 threeSteps = clock.elapsed();
    QVERIFY2(threeSteps >= 600, qPrintable(QString::number(threeSteps)));
    const int held = edit_->Value();
    Release(up, c);
    QCOMPARE(edit_->Value(), held + 1);
    QTest::qWait(250);
    QCOMPARE(edit_->Value(), held + 1);
  }

  void Geometry() {
    MakeBox(2, 100, 1, 10);
    dw::ui::TSpinButton* button = edit_->Button();
    // 3-D border: 5 pixels in from the right, one pixel short at the bottom.
    QCOMPARE(button->width(), 15);
    QCOMPARE(button->geometry().right() + 1, 57 - 2 - 1);
    QCOMPARE(button->height(), 26 - 5);
    QCOMPARE(button->UpButton()->height(), button->height() / 2);
    QCOMPARE(button->DownButton()->y(), button->UpButton()->geometry().bottom());
    QCOMPARE(button->DownButton()->geometry().bottom(), button->height() - 1);
    QCOMPARE(edit_->textMargins().right(), 15 + 2);
    // Never lower than the font needs.
    const int text = edit_->fontMetrics().height();
    const int system = QFontMetrics(QApplication::font()).height();
    const int minimum = 4 + text + std::min(text, system) / 4 + 2;
    edit_->resize(57, 5);
    QCOMPARE(edit_->height(), minimum);
  }
};

QTEST_MAIN(SpinEditTest)
#include "spinedit_test.moc"
