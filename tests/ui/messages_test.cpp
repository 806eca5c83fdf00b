// The information dialog, the error box, the application's title and hints,
// and the help layer.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dialogs.h"
#include "runtime/errors.h"
#include "ui/application.h"
#include "ui/help.h"
#include "ui/helpwindow.h"
#include "ui/messages.h"

using dw::ui::TMessageForm;

class MessagesTest : public QObject {
  Q_OBJECT

 private slots:
  // The caption of both pop-ups is the program file's name, cut at the first
  // "." and capitalised.
  void CaptionFromProgramFile_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("caption");
    QTest::newRow("tester.exe") << "C:/tools/tester.exe" << "Tester";
    QTest::newRow("TESTER.EXE") << "TESTER.EXE" << "Tester";
    QTest::newRow("my.prog.exe") << "/opt/bin/my.prog.exe" << "My";
    QTest::newRow("driftwise") << "../build/app/driftwise" << "Driftwise";
  }
  void CaptionFromProgramFile() {
    QFETCH(QString, program);
    QFETCH(QString, caption);
    const QByteArray path = program.toUtf8();
    dw::ui::InitialiseApplication(*qApp, path.constData());
    QCOMPARE(dw::ui::CurrentApplicationTitle(), caption);
    DialogWatcher watcher;
    dw::ui::ShowInfoMessage("Hello");
    dw::ui::ShowErrorBox("Boom");
    QCOMPARE(watcher.seen.size(), size_t{2});
    QCOMPARE(watcher.seen[0].caption, caption);
    QCOMPARE(watcher.seen[1].caption, caption);
    QCOMPARE(dw::ui::HelpFileName(), QString("index.html"));
  }

  void ErrorBoxFullStop_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Fichier introuvable" << "Fichier introuvable.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("bracket") << "Erreur (5)" << "Erreur (5)";
    QTest::newRow("exclamation") << "Attention!" << "Attention!";
    QTest::newRow("question") << "Quoi?" << "Quoi?.";
    QTest::newRow("empty") << "" << "";
  }
  void ErrorBoxFullStop() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    DialogWatcher watcher;
    dw::ui::ShowErrorBox(message.toStdString());
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].kind, SeenDialog::Error);
    QCOMPARE(watcher.seen[0].text, shown);
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
  }

  // An error escaping any event handler ends up in the error box, and the
  // program goes on.
  void ErrorEscapingAHandler() {
    QPushButton button("x");
    QObject::connect(&button, &QPushButton::clicked,
                     [] { throw dw::EInOutError(2); });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    DialogWatcher watcher;
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].text, QString("Fichier introuvable."));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(watcher.seen.size(), size_t{2});
  }

  void InfoDialogLayout() {
    TMessageForm form("Finished : 1000 simulations\n963 values lower than Delta obs, \n37 "
                      "values higher than Delta obs\nPlease see tab Results and graphs for the "
                      "histogram");
    const QFontMetrics fm(QApplication::font("QMessageBox"));
    auto* message = form.findChild<QWidget*>("Message");
    auto* ok = form.findChild<QPushButton*>("OK");
    QVERIFY(message && ok);
    QCOMPARE(ok->text(), QString("OK"));
    QVERIFY(ok->isDefault());
    // One line per line break.
    QCOMPARE(qRound(double(message->height()) / fm.lineSpacing()), 4);
    const int w = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
    QCOMPARE(message->x(), 2 * w);
    QCOMPARE(message->y(), fm.height());
    QCOMPARE(ok->x(), (form.width() - ok->width()) / 2);
    QCOMPARE(ok->y(), message->height() + fm.height() + qRound(10.0 * fm.height() / 8));
    QCOMPARE(form.width(), std::max(message->width(), ok->width()) + 4 * w);
    QVERIFY(form.minimumSize() == form.maximumSize());  // not resizable
  }

  // Information dialogs open over the window they report for, wherever it
  // is on the screen (the screen's centre only without one); notes and
  // warnings come in a box with the warning icon.
  void DialogsCentreOnTheirWindow() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const QPoint at : {QPoint(0, 0), QPoint(screen.width() - 500, screen.height() - 400)}) {
      QWidget window;
      window.setGeometry(QRect(at, QSize(400, 300)));
      TMessageForm form("n = 50 > N = 20", &window);
      QVERIFY((form.geometry().center() - window.frameGeometry().center()).manhattanLength() <= 2);
    }
    TMessageForm alone("no window");
    QVERIFY((alone.geometry().center() - screen.center()).manhattanLength() <= 2);

    DialogWatcher watcher;
    dw::ui::ShowWarningMessage("note: even with no migration the loci are less structured\r\n");
    QCOMPARE(watcher.seen.size(), size_t{1});
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Warning);
    QCOMPARE(watcher.seen[0].text, QString("note: even with no migration the loci are less structured"));
  }

  void LongLineWrapsAtHalfTheScreen() {
    QString text;
    for (int i = 0; i < 80; ++i) text += "word ";
    TMessageForm form(text);
    auto* message = form.findChild<QWidget*>("Message");
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QVERIFY(message->width() <= half);
    QVERIFY(message->width() > half / 2);
    QVERIFY(message->height() >= 2 * QFontMetrics(QApplication::font("QMessageBox")).height());
  }

  void EscEnterAndClickClose_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Esc") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("click") << 2;
  }
  void EscEnterAndClickClose() {
    QFETCH(int, how);
    TMessageForm form("Closing");
    bool closedWhileShown = false;
    QTimer::singleShot(50, &form, [&] {
      QVERIFY(form.isVisible());
      QVERIFY(form.isModal());
      if (how == 0) QTest::keyClick(&form, Qt::Key_Escape);
      if (how == 1) QTest::keyClick(&form, Qt::Key_Return);
      if (how == 2) QTest::mouseClick(form.findChild<QPushButton*>("OK"), Qt::LeftButton);
      closedWhileShown = !form.isVisible();
    });
    QTimer::singleShot(3000, &form, [&] { form.done(99); });
    const int result = form.exec();
    QVERIFY(closedWhileShown);
    QVERIFY(result != 99);
  }

  void HintSettings() {
    dw::ui::THintStyle style;
    QCOMPARE(style.styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
  }

  // The help pages are looked for along the search path; when none holds the
  // contents page the message names where it was expected, otherwise the help
  // window shows the page asked for, with back and forward.
  void HelpFileMissingOrFound() {
    dw::ui::SetHelpFileName("index.html");
    QTemporaryDir dir;
    const QString nowhere = dir.filePath("nowhere");
    dw::ui::SetHelpSearchPath({nowhere, dir.path()});
    {
      DialogWatcher watcher;
      dw::ui::ShowHelpContents();
      QCOMPARE(watcher.seen.size(), size_t{1});
      QCOMPARE(watcher.seen[0].text,
               "Cannot find the help file " + QDir::toNativeSeparators(nowhere + "/index.html"));
      QVERIFY(!dw::ui::HelpWindow());
    }
    auto write = [&](const char* name, const char* html) {
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(html);
    };
    write("index.html",
          "<html><head><title>Contents</title></head><body><ul>"
          "<li><a href=\"fields.html\">The fields</a></li>"
          "<li><a href=\"fields.html#size\">N</a></li>"
          "<li><a href=\"https://example.org/\">Elsewhere</a></li></ul></body></html>");
    write("fields.html",
          "<html><head><title>Fields</title></head><body><p>Top</p>"
          "<h2><a name=\"size\"></a>Effective population size (N)</h2></body></html>");
    QCOMPARE(dw::ui::FindHelpFolder(), dir.path());
    {
      DialogWatcher watcher;
      dw::ui::ShowHelpContents();
      QCOMPARE(watcher.seen.size(), size_t{0});
    }
    auto* window = qobject_cast<dw::ui::THelpWindow*>(dw::ui::HelpWindow());
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QTextBrowser* browser = window->Browser();
    QCOMPARE(QFileInfo(browser->source().toLocalFile()).fileName(), QString("index.html"));
    // The contents list: the contents page, then each page it links to, once.
    QCOMPARE(window->Contents()->count(), 2);
    QCOMPARE(window->Contents()->item(1)->text(), QString("The fields"));

    dw::ui::ShowHelpTopic("fields.html#size");
    QCOMPARE(QFileInfo(browser->source().path()).fileName(), QString("fields.html"));
    QCOMPARE(browser->source().fragment(), QString("size"));
    QCOMPARE(window->windowTitle(), dw::ui::CurrentApplicationTitle() + " Help - Fields");
    QCOMPARE(window->Contents()->currentRow(), 1);
    QVERIFY(window->BackAction()->isEnabled());
    window->BackAction()->trigger();
    QCOMPARE(QFileInfo(browser->source().path()).fileName(), QString("index.html"));
    QVERIFY(window->ForwardAction()->isEnabled());
    window->ForwardAction()->trigger();
    QCOMPARE(QFileInfo(browser->source().path()).fileName(), QString("fields.html"));
    window->HomeAction()->trigger();
    QCOMPARE(QFileInfo(browser->source().path()).fileName(), QString("index.html"));
    // Opening help again reuses the one window.
    dw::ui::ShowHelpTopic("fields.html");
    QCOMPARE(dw::ui::HelpWindow(), static_cast<QWidget*>(window));

    dw::ui::QuitHelp();
    QVERIFY(!dw::ui::HelpWindow());
    dw::ui::SetHelpSearchPath({});
  }

#if defined(__x86_64__) || defined(__i386__)
  // A handler that leaves the x87 unit in double precision, as a dialog's
  // code may: the code after a nested loop (a dialog's exec()) and the next
  // handler find the float mode restored without a call of their own.
  void FloatModeRestoredAroundEveryEvent() {
    const auto controlWord = [] {
      unsigned short word = 0;
      __asm__ volatile("fnstcw %0" : "=m"(word));
      return word;
    };
    QTimer changer;
    QObject::connect(&changer, &QTimer::timeout, [] {
      unsigned short doublePrecision = 0x027F;
      __asm__ volatile("fldcw %0" : : "m"(doublePrecision));
    });
    unsigned short afterNestedLoop = 0;
    QTimer outer;
    outer.setSingleShot(true);
    QObject::connect(&outer, &QTimer::timeout, [&] {
      QEventLoop nested;
      changer.setSingleShot(true);
      QObject::connect(&changer, &QTimer::timeout, &nested, &QEventLoop::quit);
      changer.start(0);
      nested.exec();
      afterNestedLoop = controlWord();
    });
    outer.start(0);
    QTRY_VERIFY(afterNestedLoop != 0);
    QCOMPARE(afterNestedLoop, static_cast<unsigned short>(0x037F));
    QCOMPARE(controlWord(), static_cast<unsigned short>(0x037F));
  }
#endif
};

int main(int argc, char** argv) {
  dw::ui::TApplication app(argc, argv);
  MessagesTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "messages_test.moc"
