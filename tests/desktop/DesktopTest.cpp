// The window on a real X display under a window manager: what the title
// bars say, which buttons fixed dialogs get, and a progress window that is
// minimised and restored while its batch runs.
#include <QApplication>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <QAccessible>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTabBar>

#include "app/AboutBox.h"
#include "app/FailureBox.h"
#include "app/JobNotice.h"
#include "app/MainUnit.h"
#include "app/Startup.h"
#include "support/Audio.h"
#include "ui_MainForm.h"

using namespace sondrel;

namespace {

// What xprop reads of one property of a window; empty when it has none.
QString Property(WId window, const char* name) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window), name});
    xprop.waitForFinished(5000);
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const int eq = out.indexOf(" = ");
    return eq < 0 ? QString() : out.mid(eq + 3);
}

// The caption as the window manager shows it.
QString Caption(QWidget* w) {
    QString name = Property(w->winId(), "_NET_WM_NAME");
    if (name.startsWith('"') && name.endsWith('"')) name = name.mid(1, name.size() - 2);
    return name;
}

void Xdotool(const QStringList& args) { QProcess::execute("xdotool", args); }

// The desktop's notification service, as far as Notify goes: what the
// program told it.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;
public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        received << app + "|" + summary + "|" + body;
        return 1;
    }
};

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString folder_;

    QString P(const QString& name) const { return folder_ + "/" + name; }

private slots:
    void initTestCase() {
        SetUpApplication(*qApp);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home_.path() + "/config");
        folder_ = home_.path() + "/program";
        QDir().mkpath(folder_);
    }

    // Every test meets the window as at a first start. The window manager
    // may leave a window minimised (openbox keeps the main window iconic
    // when only its progress window is restored), and a stored minimised
    // state would start the next test's window iconic, never exposed.
    void init() { QDir(home_.path() + "/config").removeRecursively(); }

    void captionsAreTheProgramsOwnTexts() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 10000));
        QCOMPARE(Caption(&form), QString("Velkor Sondrel 1.1"));

        QStringList seen;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == form.StatusForm()) return;
            seen << Caption(modal);
            if (form.StatusForm()->isVisible()) seen << Caption(form.StatusForm());
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->done(QMessageBox::Cancel);
            else
                modal->close();
        });
        look.start(50);
        form.GoClick(1);  // no file names: "Fehler" over the progress window
        form.EndeBtnClick();
        form.ueberbtnClick();
        look.stop();
        QCOMPARE(seen, QStringList({"Fehler", "Status der Konvertierung...", "Programm beenden", "Info"}));
        QVERIFY(form.isVisible());
    }

    // At the display's real resolution the whole track warning is on the
    // tag page, not cut after "gespeichert w".
    void theTrackWarningIsShownWhole() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        ui->PageControl1->setCurrentIndex(3);
        ui->edComment->setText(QString(29, 'k'));
        QLabel* label = ui->trackinfo;
        QVERIFY(label->isVisible());
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1000),
                                                               Qt::TextWordWrap | Qt::AlignLeft, label->text());
        QVERIFY(label->wordWrap() || needed.width() <= label->width());
        QVERIFY2(needed.height() <= label->height(), qPrintable(QString::number(needed.height())));
        // Nothing else on the page covers it.
        const QRect onPage(label->mapTo(ui->PageControl1->currentWidget(), QPoint(0, 0)), label->size());
        QVERIFY(ui->PageControl1->currentWidget()->rect().contains(onPage));
    }

    // Every entry of the format lists fits its closed box, as the window
    // places it, and the open list is as wide as its longest entry; the
    // status line's whole text is its tooltip.
    void everyFormatFitsItsBox() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        for (QComboBox* box : {ui->mp3format, ui->mp3format2, ui->WAVFormats}) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = false;
            const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
            int longest = 0;
            for (int i = 0; i < box->count(); ++i) {
                const int width = box->fontMetrics().horizontalAdvance(box->itemText(i));
                longest = std::max(longest, width);
                QVERIFY2(width <= field.width(), qPrintable(QString("%1: %2 > %3").arg(box->itemText(i)).arg(width).arg(field.width())));
            }
            box->showPopup();
            QTRY_VERIFY(box->view()->isVisible());
            QVERIFY(box->view()->viewport()->width() >= longest);
            box->hidePopup();
        }
        const QString summary = "2 von 11 Dateien konvertiert, 1 fehlgeschlagen. Nicht fertig: a.wav, b.wav, c.wav und 6 weitere";
        form.ShowStatusText(summary.toStdString());
        QCOMPARE(form.StatusText->toolTip(), summary);
    }

    // Fixed dialogs: the window manager lets them neither resize nor
    // maximise, and Qt asks it for the close box only.
    void fixedDialogsHaveOnlyACloseBox() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TAboutBox about(&form);
        for (QDialog* dialog : {static_cast<QDialog*>(&about), static_cast<QDialog*>(form.StatusForm())}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QTest::qWait(200);
            const QString actions = Property(dialog->winId(), "_NET_WM_ALLOWED_ACTIONS");
            QVERIFY2(actions.contains("_NET_WM_ACTION_CLOSE"), qPrintable(actions));
            QVERIFY2(!actions.contains("MAXIMIZE") && !actions.contains("_NET_WM_ACTION_RESIZE"), qPrintable(actions));
            // Motif hints: flags, functions, decorations. Decorations name the
            // border, title and menu, never minimise (0x20) or maximise (0x40).
            const QStringList motif = Property(dialog->winId(), "_MOTIF_WM_HINTS").split(", ");
            QCOMPARE(motif.size(), 5);
            bool ok = false;
            const uint functions = motif[1].toUInt(&ok, 16);
            QVERIFY(ok);
            const uint decorations = motif[2].toUInt(&ok, 16);
            QVERIFY(ok);
            QCOMPARE(functions & 0x19u, 0u);  // all, minimise, maximise
            QVERIFY(functions & 0x20u);       // close
            QCOMPARE(decorations & 0x61u, 0u);
            dialog->hide();
        }
    }

    // The window has one size, so the window manager offers no resizing
    // and draws no handle under the status bar, whose panels show whole.
    void theStatusBarShowsWhole() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(200);
        const QString actions = Property(form.winId(), "_NET_WM_ALLOWED_ACTIONS");
        QVERIFY2(!actions.contains("_NET_WM_ACTION_RESIZE"), qPrintable(actions));
        QStatusBar* bar = form.Form()->StatusBar1;
        QCOMPARE(bar->mapTo(&form, QPoint(0, bar->height())).y(), form.height());
        for (QWidget* panel : {static_cast<QWidget*>(form.StatusText), static_cast<QWidget*>(form.ProgressPanel)})
            QVERIFY2(bar->rect().contains(panel->geometry()), qPrintable(panel->objectName()));
    }

    // Tab to the Go button and Space, as a keyboard user does on a real
    // display: the job runs once.
    void aJobByKeyboard() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        testing_support::WriteFile(P("k.wav").toStdString(),
                                   testing_support::MakeWav(testing_support::MakeMusic(22050, 2, 1.0), 22050, 2));
        QFile::remove(P("k8.wav"));
        ui->PageControl1->setCurrentIndex(2);
        ui->input3ed->setFileName(P("k.wav"));
        ui->output3ed->setFileName(P("k8.wav"));
        ui->WAVFormats->setCurrentIndex(ui->WAVFormats->findText("8.000 Hz, 8 Bit, Mono"));
        int runs = 0;
        struct Counter : QObject {
            int& runs;
            explicit Counter(int& r) : runs(r) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Show) ++runs;
                return false;
            }
        } counter(runs);
        form.StatusForm()->installEventFilter(&counter);
        const QString id = QString::number(form.winId());
        Xdotool({"windowactivate", "--sync", id});
        QTRY_VERIFY(form.isActiveWindow());
        ui->WAVFormats->setFocus();
        Xdotool({"key", "--window", id, "Tab"});
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui->GoBtn5));
        Xdotool({"key", "--window", id, "space"});
        QTRY_VERIFY(QFileInfo::exists(P("k8.wav")));
        QTRY_VERIFY(!form.StatusForm()->isVisible());
        QTest::qWait(300);
        QCOMPARE(runs, 1);
        QCOMPARE(QFileInfo(P("k8.wav")).size(), qint64(44 + 8000));
    }

    // The window manager minimises and restores the progress window while
    // its batch runs: the batch goes on once, and every target is whole.
    void minimisedAndRestoredDuringABatch() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            const QString name = P(QString("m%1.wav").arg(i));
            testing_support::WriteFile(name.toStdString(), testing_support::MakeWav(
                                                               testing_support::MakeMusic(22050, 2, 12.0, i + 1), 22050, 2));
            files << name;
        }
        form.AddFiles(ui->FileList2, files);
        ui->mp3format2->setCurrentIndex(ui->mp3format2->findText("64 kBit/s, 22.050 Hz, Stereo"));
        emit ui->mp3format2->activated(ui->mp3format2->currentIndex());
        TStatusForm* status = form.StatusForm();
        std::vector<std::uint8_t> first;
        bool done = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (done || form.Core().State.ItemIndex < 1 || !status->isVisible()) return;
            done = true;
            first = testing_support::ReadFile(P("m0.mp3").toStdString());
            const QString id = QString::number(status->winId());
            Xdotool({"windowminimize", "--sync", id});
            QTest::qWait(100);
            Xdotool({"windowactivate", "--sync", id});
            QTest::qWait(100);
        });
        watch.start(5);
        form.GoClick(4);
        watch.stop();
        QVERIFY(done);
        QVERIFY(!first.empty());
        QVERIFY(testing_support::ReadFile(P("m0.mp3").toStdString()) == first);
        for (const char* name : {"m1.mp3", "m2.mp3"}) {
            // Twelve seconds at 64 kBit/s: about 96 kB each.
            QVERIFY2(QFileInfo(P(name)).size() > 90000, name);
        }
        QTRY_VERIFY(!status->isVisible());
    }

    // The main window minimised at several moments just after Go (openbox
    // minimises the progress window with it), then restored: the two jobs
    // after it show both windows, neither ever iconic.
    void aMinimiseJustAfterGoLeavesNothingBehind() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        testing_support::WriteFile(P("long.wav").toStdString(),
                                   testing_support::MakeWav(testing_support::MakeMusic(22050, 2, 40.0), 22050, 2));
        ui->PageControl1->setCurrentIndex(1);
        ui->input2ed->setFileName(P("long.wav"));
        ui->mp3format->setCurrentIndex(ui->mp3format->findText("64 kBit/s, 22.050 Hz, Stereo"));
        const QString main = QString::number(form.winId());
        const auto iconic = [](QWidget* w) {
            return w->isVisible() && Property(w->winId(), "_NET_WM_STATE").contains("_NET_WM_STATE_HIDDEN");
        };
        // Minimised at a point of the job (its percentage), never after it:
        // a time would be after a job that ran fast, during the next one.
        for (const int at : {0, 5, 30, 70}) {
            QFile::remove(P("long.mp3"));
            ui->output2ed->setFileName(P("long.mp3"));
            bool minimised = false;
            const auto minimise = connect(form.StatusForm()->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) {
                if (minimised || v < std::max(at, 1)) return;
                minimised = true;
                Xdotool({"windowminimize", "--sync", main});
            });
            form.GoClick(3);
            disconnect(minimise);
            QVERIFY(minimised);
            QTRY_VERIFY(!form.StatusForm()->isVisible());
            Xdotool({"windowactivate", "--sync", main});
            QTRY_VERIFY(!iconic(&form));
            for (int job = 0; job < 2; ++job) {
                QFile::remove(P("long.mp3"));
                bool hidden = false;
                QTimer watch;
                connect(&watch, &QTimer::timeout, this, [&] {
                    if (!form.StatusForm()->isVisible()) return;
                    hidden = hidden || iconic(&form) || iconic(form.StatusForm());
                });
                watch.start(50);
                form.GoClick(3);
                watch.stop();
                QVERIFY2(!hidden, qPrintable(QString("minimised at %1 %, job %2 after").arg(at).arg(job + 1)));
                QVERIFY(QFileInfo(P("long.mp3")).size() > 300000);
            }
        }
    }

    // A batch whose targets exist asks once; answered by keyboard as a
    // user does. Ja and then Escape part way: the earlier files are all
    // there as they were, nothing beside them. Return (Nein, the default):
    // the new files get numbered names, the earlier ones stay.
    void aBatchAsksBeforeReplacingAndACancelKeepsTheEarlierFiles() {
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Ui::TMainForm* ui = form.Form();
        QDir().mkpath(P("r"));
        QStringList files;
        for (int i = 0; i < 2; ++i) {
            files << P(QString("r/r%1.wav").arg(i));
            testing_support::WriteFile(files.last().toStdString(), testing_support::MakeWav(
                                                                       testing_support::MakeMusic(44100, 2, 20.0, i + 1), 44100, 2));
            testing_support::WriteFile(P(QString("r/r%1.mp3").arg(i)).toStdString(), {'m', 'i', 'n', 'e'});
        }
        form.AddFiles(ui->FileList2, files);
        TStatusForm* status = form.StatusForm();
        QStringList asked;
        bool escaped = false;
        QString key = "alt+j";
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
                if (asked.size() < 2 && (asked.isEmpty() || asked.last() != box->text() || key == "Return")) {
                    asked << box->text();
                    const QString id = QString::number(box->winId());
                    Xdotool({"windowactivate", "--sync", id});
                    Xdotool({"key", "--window", id, key});
                }
                return;
            }
            if (key == "alt+j" && !escaped && status->isVisible() && QFileInfo(P("r/r0.mp3")).size() != 4) return;
            if (key == "alt+j" && !escaped && status->isVisible() && form.Core().State.ItemIndex == 0) {
                escaped = true;
                const QString id = QString::number(status->winId());
                Xdotool({"windowactivate", "--sync", id});
                Xdotool({"key", "--window", id, "Escape"});
            }
        });
        watch.start(20);
        form.GoClick(4);
        QTRY_VERIFY(!status->isVisible());
        QVERIFY(escaped);
        QCOMPARE(asked, QStringList{"2 der Zieldateien existieren bereits. Sollen sie überschrieben werden?"});
        const std::vector<std::uint8_t> mine = {'m', 'i', 'n', 'e'};
        for (const char* name : {"r/r0.mp3", "r/r1.mp3"}) QVERIFY2(testing_support::ReadFile(P(name).toStdString()) == mine, name);
        QCOMPARE(QDir(P("r")).entryList(QDir::Files | QDir::Hidden).size(), 4);

        key = "Return";
        form.GoClick(4);
        QTRY_VERIFY(!status->isVisible());
        QCOMPARE(asked.size(), 2);
        for (const char* name : {"r/r0.mp3", "r/r1.mp3"}) QVERIFY2(testing_support::ReadFile(P(name).toStdString()) == mine, name);
        for (const char* name : {"r/r0 (2).mp3", "r/r1 (2).mp3"}) QVERIFY2(QFileInfo(P(name)).size() > 100000, name);
    }

    // A batch that ends while another program's window is active asks for
    // attention and sends a notification of what it did; one that ends
    // while the window is active says nothing more.
    void aJobThatEndsInTheBackgroundSaysSo() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) QSKIP("no D-Bus session");
        FakeNotifications service;
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            files << P(QString("n%1.wav").arg(i));
            testing_support::WriteFile(files.last().toStdString(), testing_support::MakeWav(
                                                                       testing_support::MakeMusic(44100, 2, 15.0, i + 1), 44100, 2));
        }
        form.AddFiles(form.Form()->FileList2, files);
        form.JobNotice().longJobMs = 0;  // short files, as if they had taken long
        for (const bool away : {false, true}) {
            QProcess other;
            if (away) {
                // Another program's window, active while the batch runs.
                other.start("xmessage", {"-name", "anderes", "Ein anderes Programm"});
                QVERIFY(other.waitForStarted());
                // Switched to once the batch has started.
                QTimer::singleShot(200, this, [] { Xdotool({"search", "--sync", "--name", "anderes", "windowactivate", "--sync"}); });
            }
            for (int i = 0; i < 3; ++i) QFile::remove(P(QString("n%1.mp3").arg(i)));
            form.GoClick(4);
            QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), away ? 1 : 0, 3000);
            QTest::qWait(away ? 0 : 500);
            QCOMPARE(service.received.size(), away ? 1 : 0);
            if (away) {
                QCOMPARE(service.received.first(), QString("Sondrel|Konvertierung abgeschlossen|3 von 3 Dateien konvertiert"));
                QVERIFY2(Property(form.winId(), "_NET_WM_STATE").contains("_NET_WM_STATE_DEMANDS_ATTENTION") ||
                             Property(form.winId(), "WM_HINTS").contains("rgency"),
                         qPrintable(Property(form.winId(), "_NET_WM_STATE")));
                other.kill();
                QVERIFY(other.waitForFinished());
            }
        }
    }

    // A placement remembered on a larger screen (here: far to the bottom
    // right) comes up whole on this one, Go!, Ende and the status line
    // with it.
    void aPlacementOffTheScreenComesUpOnIt() {
        {
            TMainForm form(folder_);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form, 10000));
            form.SaveStore(false);
        }
        {
            const auto store = TMainForm::OpenStore();
            store->beginGroup("TMainForm");
            for (const QString& key : store->childKeys())
                if (key.startsWith("NormPos")) store->setValue(key, "1000,800,1676,1290");
            store->endGroup();
        }
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 10000));
        const QRect room = form.screen()->availableGeometry();
        QTRY_VERIFY2(room.contains(form.frameGeometry()),
                     qPrintable(QString("%1,%2 %3x%4").arg(form.frameGeometry().x()).arg(form.frameGeometry().y())
                                    .arg(form.frameGeometry().width()).arg(form.frameGeometry().height())));
    }

    // A collection's folder added through the dialog, broken files among
    // good ones: the batch runs through without waiting for a click, its
    // failures in one box that grows beside the progress window and is
    // closed once; the summary stays on the status line, as a screen
    // reader reads it, and of all page tabs only the one in the focus
    // says it is focused.
    void aCollectionWithBrokenFilesRunsThroughInOneGo() {
        const QString album = P("Sammlung/Album");
        QDir().mkpath(album);
        for (int i = 1; i <= 6; ++i) {
            const QString name = album + QString("/0%1 %2.wav").arg(i).arg(i % 3 == 1 ? "Kaputt" : "Lied");
            testing_support::WriteFile(name.toStdString(), i % 3 == 1 ? std::vector<std::uint8_t>(500, 0x5A)
                                                                    : testing_support::MakeWav(testing_support::MakeMusic(44100, 2, 20.0, i), 44100, 2));
        }
        TMainForm form(folder_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form, 10000));
        Ui::TMainForm* ui = form.Form();
        ui->PageControl1->setCurrentIndex(1);
        ui->PageControl3->setCurrentIndex(1);
        QTimer dialogs;
        bool boxDuringBatch = false;
        QString box;
        connect(&dialogs, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->setDirectory(P("Sammlung"));
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
            auto* failures = form.findChild<TFailureBox*>();
            if (!failures || !failures->isVisible()) return;
            // Open while the batch goes on, and closed once, at its end.
            if (!failures->isModal()) boxDuringBatch = boxDuringBatch || form.Core().Running();
            if (failures->isModal()) {
                box = failures->Heading->text() + "\n" + failures->List->toPlainText();
                failures->accept();
            }
        });
        dialogs.start(20);
        form.findChild<QAbstractButton*>("AddFolderBtn2")->click();
        QCOMPARE(ui->FileList2->count(), 6);
        QCOMPARE(form.findChild<QLabel*>("ListCount2")->text(), QString("6 Einträge"));
        form.GoClick(4);
        dialogs.stop();
        QVERIFY(boxDuringBatch);
        const QString summary = "4 von 6 Dateien konvertiert, 2 fehlgeschlagen. Nicht fertig: Album/01 Kaputt.wav, Album/04 Kaputt.wav";
        QVERIFY2(box.startsWith(summary + "\nAlbum/01 Kaputt.wav: Keine gültige WAV-Datei!!!!\n"
                                "Album/04 Kaputt.wav: Keine gültige WAV-Datei!!!!"),
                 qPrintable(box));
        QTest::qWait(300);
        QCOMPARE(form.StatusText->text(), summary);
        QCOMPARE(QAccessible::queryAccessibleInterface(form.StatusText)->text(QAccessible::Name), summary);
        for (int i = 1; i <= 6; ++i) QCOMPARE(QFile::exists(album + QString("/0%1 Lied.mp3").arg(i)), i % 3 != 1);
        ui->edTitle->setFocus();
        int focusedTabs = 0;
        for (QTabBar* bar : form.findChildren<QTabBar*>()) {
            QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(bar);
            for (int i = 0; i < tabs->childCount(); ++i) focusedTabs += tabs->child(i)->state().focused;
        }
        QCOMPARE(focusedTabs, 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
