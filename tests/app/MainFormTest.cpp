// The main window as a user meets it: Go buttons and the progress window,
// image buttons, batch lists, format lists and what is remembered.
#include <QAccessible>
#include <QApplication>
#include <QTabBar>
#include <QProcess>
#include <QToolButton>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <thread>

#include "app/FailureBox.h"
#include "app/JobNotice.h"
#include "app/MainUnit.h"
#include "ui/FileEdit.h"
#include "support/Audio.h"
#include "support/Library.h"
#include "support/Trees.h"
#include "tags/CarriedTags.h"
#include "platform/cpu/VectorState.h"
#include "support/RecordingHost.h"
#include "ui_MainForm.h"

using namespace sondrel;

namespace {

// Answers the modal message boxes that come up, remembering what they said.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            // A batch's failures come in one box of their own, closed once.
            if (auto* failures = qobject_cast<TFailureBox*>(QApplication::activeModalWidget())) {
                titles << failures->windowTitle();
                texts << failures->Heading->text() + "\n" + failures->List->toPlainText();
                dismissed.restart();
                return failures->accept();
            }
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            titles << box->windowTitle();
            texts << box->text();
            dismissed.restart();
            box->button(answer_) ? box->button(answer_)->click() : box->done(answer_);
        });
        timer_.start(10);
    }
    QStringList titles, texts;
    QElapsedTimer dismissed;

private:
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

int Int32At(const QByteArray& b, int i) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[i + k])) << (8 * k);
    return static_cast<int>(v);
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString folder_;
    std::unique_ptr<TMainForm> form_;
    Ui::TMainForm* ui_ = nullptr;

    void Fresh() {
        form_.reset();
        form_ = std::make_unique<TMainForm>(folder_);
        ui_ = form_->Form();
    }
    QString P(const QString& name) const { return folder_ + "/" + name; }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home_.path() + "/config");
        folder_ = home_.path() + "/program";
        QDir().mkpath(folder_);
    }
    void init() {
        QFile::remove(P("settings.dat"));
        QFile::remove(home_.path() + "/config/Software/" + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".ini");
        Fresh();
    }
    void cleanup() { form_.reset(); }

    void startsWithItsFormatsAndTitle() {
        QCOMPARE(form_->windowTitle(), QString("Velkor Sondrel 1.1"));
        QCOMPARE(ui_->mp3format->count(), 228);
        QCOMPARE(ui_->mp3format2->count(), 228);
        QCOMPARE(ui_->WAVFormats->count(), 28);
        QCOMPARE(ui_->mp3format->currentText(), QString("128 kBit/s, 44.100 Hz, Stereo"));
        QCOMPARE(ui_->WAVFormats->currentText(), QString("44.100 Hz, 16 Bit, Stereo"));
        QCOMPARE(ui_->PageControl1->currentIndex(), 0);
        QVERIFY(ui_->QuellCheck->isChecked());
        QVERIFY(!QFile::exists(P("settings.dat")));  // nothing written at start
    }

    void emptyNamesShowTheMessageAndTheWindowClosesAfterIt() {
        BoxAnswerer answerer;
        QElapsedTimer clock;
        form_->GoClick(1);
        const qint64 afterDismissal = answerer.dismissed.elapsed();
        QCOMPARE(answerer.texts, QStringList{"Sie müssen zunächst die Quell- und Zieldatei wählen!"});
        QCOMPARE(answerer.titles, QStringList{"Fehler"});
        QVERIFY(!form_->StatusForm()->isVisible());
        QVERIFY2(afterDismissal >= 90 && afterDismissal < 1500, qPrintable(QString::number(afterDismissal)));
        // Only one name filled in is just as empty.
        ui_->InputFileEd->setFileName(P("a.mp3"));
        form_->GoClick(1);
        QCOMPARE(answerer.texts.size(), 2);
        form_->GoClick(2);
        QCOMPARE(answerer.texts.last(), QString("Sie müssen zunächst Dateien zur Liste hinzufügen!"));
        // The cancel flag stays set after a job, until the next Go click.
        QVERIFY(form_->Core().State.Cancel);
    }

    void aSingleFileJobConvertsAndTheBarsReturn() {
        testing_support::WriteFile((P("tone.wav")).toStdString(),
                                   testing_support::MakeWav(testing_support::MakeMusic(22050, 2, 2.0), 22050, 2));
        ui_->PageControl1->setCurrentIndex(2);
        ui_->input3ed->setFileName(P("tone.wav"));
        ui_->output3ed->setFileName(P("low.wav"));
        ui_->WAVFormats->setCurrentIndex(ui_->WAVFormats->findText("8.000 Hz, 8 Bit, Mono"));
        int highest = 0;
        connect(form_->StatusForm()->ProgressBar2, &QProgressBar::valueChanged, this,
                [&](int v) { highest = std::max(highest, v); });
        BoxAnswerer answerer;
        form_->GoClick(5);
        QVERIFY(answerer.texts.isEmpty());
        QCOMPARE(QFileInfo(P("low.wav")).size(), qint64(44 + 16000));
        QCOMPARE(highest, 100);  // a single file's overall bar follows the file's
        QCOMPARE(form_->StatusForm()->ProgressBar1->value(), 0);
        QCOMPARE(form_->StatusForm()->ProgressBar2->value(), 0);
        QCOMPARE(form_->DrawnPercent, 0);
        QVERIFY(!form_->Core().State.Busy);
    }

    // A batch of short and long files cancelled part way, on both pages:
    // no file starts after the cancel, the files that were done are whole
    // (decoding to their sources' length), the ones in work leave nothing
    // (not even a hidden file), and the status line says how many were
    // converted and which not.
    void aCancelledBatchLeavesOnlyWholeFiles() {
        const double seconds[] = {1.0, 20.0, 20.0, 1.0, 20.0};
        QStringList wavs, mp3s;
        for (int i = 0; i < 5; ++i) {
            const QString wav = P(QString("w%1.wav").arg(i)), mp3 = P(QString("m%1.mp3").arg(i));
            testing_support::WriteFile(wav.toStdString(), testing_support::MakeWav(
                                                              testing_support::MakeMusic(44100, 2, seconds[i], i + 1), 44100, 2));
            QVERIFY(testing_support::Shell("lame --quiet -b 128 " + wav.toStdString() + " " + mp3.toStdString()));
            wavs << wav;
            mp3s << mp3;
        }
        for (const int mode : {2, 4}) {
            QListWidget* list = mode == 2 ? ui_->FileList : ui_->FileList2;
            QDir(P("cut")).removeRecursively();
            QDir().mkpath(P("cut"));
            (mode == 2 ? ui_->OwnfolderCheck : ui_->OwnFolderCheck2)->setChecked(true);
            (mode == 2 ? ui_->OutDirectoryEd : ui_->OutDirectory2Ed)->setFileName(P("cut"));
            form_->AddFiles(list, mode == 2 ? mp3s : wavs);
            QTimer watch;
            bool cancelled = false;
            // The first short file is done (its header or info frame filled
            // in, which happens last), while long ones are in work.
            const auto firstDone = [&] {
                QFile first(P(mode == 2 ? "cut/m0.wav" : "cut/w0.mp3"));
                if (!first.open(QIODevice::ReadOnly)) return false;
                const QByteArray head = first.read(64);
                return mode == 2 ? head.size() >= 44 && Int32At(head, 40) == 44100 * 4 : head.contains("Info");
            };
            connect(&watch, &QTimer::timeout, this, [&] {
                if (!cancelled && firstDone() && form_->StatusForm()->isVisible()) {
                    cancelled = true;
                    form_->StatusForm()->CancelBtn->click();
                }
            });
            watch.start(1);
            BoxAnswerer answerer;
            form_->GoClick(mode);
            watch.stop();
            QVERIFY(cancelled);
            QVERIFY(answerer.texts.isEmpty());
            QStringList unfinished;
            for (int i = 0; i < 5; ++i) {
                const QString target = P(QString(mode == 2 ? "cut/m%1.wav" : "cut/w%1.mp3").arg(i));
                if (!QFile::exists(target)) {
                    unfinished << QFileInfo(mode == 2 ? mp3s[i] : wavs[i]).fileName();
                    continue;
                }
                std::string wav = target.toStdString();
                if (mode == 4) {
                    wav += ".wav";
                    QVERIFY(testing_support::Shell("mpg123 -q -w " + wav + " " + target.toStdString()));
                }
                const auto data = testing_support::SplitWave(testing_support::ReadFile(wav)).data;
                QCOMPARE(static_cast<long>(data.size() / 4), std::lround(seconds[i] * 44100));
            }
            QVERIFY(!unfinished.isEmpty());
            QVERIFY(unfinished.size() < 5);
            QCOMPARE(QDir(P("cut")).entryList(QDir::Files | QDir::Hidden).size(), (mode == 4 ? 2 : 1) * (5 - unfinished.size()));
            const QString said = form_->StatusText->text();
            QVERIFY2(said.startsWith(QString("Abgebrochen: %1 von 5 Dateien konvertiert. Nicht fertig: ").arg(5 - unfinished.size())),
                     qPrintable(said));
            // The first three by name, the others counted.
            QString named = unfinished.mid(0, 3).join(", ");
            if (unfinished.size() > 3) named += QString(" und %1 weitere").arg(unfinished.size() - 3);
            QCOMPARE(said.mid(said.indexOf("fertig: ") + 8), named);
            list->clear();
        }
        QDir(P("cut")).removeRecursively();
    }

    // Minimising and restoring the progress window, or hiding and showing
    // it, while a batch runs must not start the batch again inside itself:
    // that reopened, and emptied, the targets already finished.
    void theWindowManagerCannotRestartARunningJob() {
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            const QString name = P(QString("r%1.wav").arg(i));
            testing_support::WriteFile(name.toStdString(), testing_support::MakeWav(
                                                               testing_support::MakeMusic(22050, 2, 10.0, i + 1), 22050, 2));
            files << name;
        }
        form_->AddFiles(ui_->FileList2, files);
        ui_->mp3format2->setCurrentIndex(ui_->mp3format2->findText("64 kBit/s, 22.050 Hz, Stereo"));
        emit ui_->mp3format2->activated(ui_->mp3format2->currentIndex());
        TStatusForm* status = form_->StatusForm();
        std::vector<std::uint8_t> firstTarget;
        bool disturbed = false, closedEarly = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (disturbed && form_->Core().Running() && !status->isVisible()) closedEarly = true;
            if (disturbed || form_->Core().State.ItemIndex < 1 || !status->isVisible()) return;
            disturbed = true;
            firstTarget = testing_support::ReadFile(P("r0.mp3").toStdString());
            // What a restore after minimising delivers: a spontaneous show.
            QWindowStateChangeEvent restored(Qt::WindowMinimized);
            QApplication::sendEvent(status, &restored);
            status->hide();
            status->show();
            QTest::qWait(20);
        });
        watch.start(1);
        BoxAnswerer answerer;
        form_->GoClick(4);
        watch.stop();
        QVERIFY(disturbed);
        QVERIFY(!closedEarly);
        QCOMPARE(form_->StatusText->text(), QString("Alle 3 Dateien wurden konvertiert."));
        QVERIFY(answerer.texts.isEmpty());
        QVERIFY(!firstTarget.empty());
        QVERIFY(testing_support::ReadFile(P("r0.mp3").toStdString()) == firstTarget);
        const auto second = testing_support::ReadFile(P("r1.mp3").toStdString());
        const auto third = testing_support::ReadFile(P("r2.mp3").toStdString());
        // The same files converted again, undisturbed, give the same bytes.
        QDir().mkpath(P("again"));
        ui_->OwnFolderCheck2->setChecked(true);
        ui_->OutDirectory2Ed->setFileName(P("again"));
        QTRY_VERIFY(!status->isVisible());
        form_->GoClick(4);
        QVERIFY(testing_support::ReadFile(P("again/r0.mp3").toStdString()) == firstTarget);
        QVERIFY(testing_support::ReadFile(P("again/r1.mp3").toStdString()) == second);
        QVERIFY(testing_support::ReadFile(P("again/r2.mp3").toStdString()) == third);
        // The batch's per-file line gives way to what became of its files.
        QCOMPARE(form_->StatusText->text(), QString("Alle 3 Dateien wurden konvertiert."));
    }

    void theProgressWindowRefusesToCloseWhileAJobRuns() {
        TStatusForm* status = form_->StatusForm();
        status->MayClose = false;
        form_->Core().State.Cancel = false;
        QVERIFY(!status->FormCloseQuery());
        QVERIFY(form_->Core().State.Cancel);
        form_->Core().State.Cancel = false;
        status->CancelBtnClick();
        QVERIFY(form_->Core().State.Cancel);

        // Closed by the user in its finishing phase: the pending tick goes
        // with it, so it cannot end the next job's window.
        status->MayClose = true;
        status->show();
        status->Timer1->start();
        QVERIFY(status->close());
        QVERIFY(!status->Timer1->isActive());
    }

    void aGoClickWhileBusyDoesNothing() {
        form_->Core().State.Busy = true;
        form_->Core().State.JobMode = 0;
        form_->Core().State.Cancel = true;
        // Pressed first, so that the click has a picture to put back.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_->GoButtons[2]->Normal(), &press);
        QVERIFY(form_->GoButtons[2]->Pressed());
        form_->GoClick(3);
        QCOMPARE(form_->Core().State.JobMode, 0);
        QVERIFY(form_->Core().State.Cancel);
        QVERIFY(!form_->GoButtons[2]->Pressed());
        form_->Core().State.Busy = false;
    }

    void imageButtonPressDragAndRelease() {
        TImageButton* button = form_->GoButtons[0];
        TImagePicture* normal = button->Normal();
        int clicks = 0;
        // Count clicks without starting a job.
        disconnect(button, &TImageButton::clicked, nullptr, nullptr);
        connect(button, &TImageButton::clicked, this, [&] { ++clicks; });
        const int w = normal->width(), h = normal->height();
        QCOMPARE(w, 101);
        QCOMPARE(h, 30);

        Mouse(normal, QEvent::MouseMove, QPoint(5, 5));  // no hover picture
        QVERIFY(normal->isShown());
        QVERIFY(!button->Pressed());

        Mouse(normal, QEvent::MouseButtonPress, QPoint(5, 5));
        QVERIFY(button->Pressed());
        QVERIFY(!normal->isShown());
        QVERIFY(!button->PressedPicture()->isHidden());
        Mouse(normal, QEvent::MouseMove, QPoint(w, 5));  // the right edge is outside
        QVERIFY(normal->isShown());
        QVERIFY(button->PressedPicture()->isHidden());
        Mouse(normal, QEvent::MouseMove, QPoint(w - 1, h - 1));
        QVERIFY(!normal->isShown());
        Mouse(normal, QEvent::MouseMove, QPoint(5, h));  // so is the bottom edge
        QVERIFY(normal->isShown());
        Mouse(normal, QEvent::MouseMove, QPoint(5, 5));
        Mouse(normal, QEvent::MouseButtonRelease, QPoint(5, 5));
        QCOMPARE(clicks, 1);
        QVERIFY(!button->Pressed());
        QVERIFY(normal->isShown());

        // Dragged off and released outside: no click.
        Mouse(normal, QEvent::MouseButtonPress, QPoint(5, 5));
        Mouse(normal, QEvent::MouseMove, QPoint(-1, 5));
        Mouse(normal, QEvent::MouseButtonRelease, QPoint(-1, 5));
        QCOMPARE(clicks, 1);
        QVERIFY(!button->Pressed());
        QVERIFY(normal->isShown());
        // The right button presses the picture but does not click.
        Mouse(normal, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton);
        QVERIFY(button->Pressed());
        Mouse(normal, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::RightButton);
        QCOMPARE(clicks, 1);
    }

    void exitAsksAndCancelKeepsTheWindow() {
        form_->show();
        BoxAnswerer cancel(QMessageBox::Cancel);
        form_->EndeBtnClick();
        QCOMPARE(cancel.texts, QStringList{"Hiermit beenden Sie das Programm! Alle nicht gespeicherten Daten gehen verloren!"});
        QCOMPARE(cancel.titles, QStringList{"Programm beenden"});
        QVERIFY(form_->isVisible());
        QVERIFY(ui_->EndeBtn->isShown());
        QVERIFY(!form_->ExitButton->Pressed());
        QVERIFY(!QFile::exists(home_.path() + "/config/Software/" +
                               QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".ini"));
    }

    // The OK answer: the window goes, and the store is written once, with
    // the values of a confirmed close (not again when the window is
    // destroyed). Every remembered control, set away from its default,
    // comes back in a fresh window.
    // Twice, with the two pages' settings set differently each way round,
    // so that a setting stored under its neighbour's name shows.
    void everyRememberedSettingSurvivesAConfirmedClose() {
        for (const bool flip : {false, true}) {
            Fresh();
            form_->show();
            QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
            ui_->cdqualcheck->setChecked(!flip);
            ui_->cdqual2check->setChecked(flip);
            (flip ? static_cast<QRadioButton*>(ui_->QuellCheck) : ui_->OwnfolderCheck)->setChecked(true);
            (flip ? static_cast<QRadioButton*>(ui_->OwnFolderCheck2) : ui_->QuellCheck2)->setChecked(true);
            ui_->OutDirectoryEd->setFileName(flip ? "/musik/b" : "/musik/wav aus");
            ui_->OutDirectory2Ed->setFileName(flip ? "/musik/c" : "/musik/mp3 aus");
            // (A VBR entry, 200, is kept as a constant bitrate is.)
            const int mp3 = flip ? 200 : 5, wav = flip ? 3 : 7;
            ui_->mp3format2->setCurrentIndex(mp3);
            emit ui_->mp3format2->activated(mp3);
            ui_->WAVFormats->setCurrentIndex(wav);
            emit ui_->WAVFormats->activated(wav);
            form_->move(flip ? 55 : 33, 44);
            const QRect placed = form_->geometry();
            QVERIFY(placed.topLeft() != QPoint(0, 0));

            BoxAnswerer ok(QMessageBox::Ok);
            QVERIFY(form_->close());
            QCOMPARE(ok.titles, QStringList{"Programm beenden"});
            QVERIFY(!form_->isVisible());
            auto visibleInStore = [] {
                auto store = TMainForm::OpenStore();
                return store->value("TMainForm/Visible").toString();
            };
            QCOMPARE(visibleInStore(), QString("0"));
            form_.reset();
            QCOMPARE(visibleInStore(), QString("0"));  // not written again by the destructor

            Fresh();
            form_->show();
            QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
            QCOMPARE(ui_->cdqualcheck->isChecked(), !flip);
            QCOMPARE(ui_->cdqual2check->isChecked(), flip);
            QCOMPARE(ui_->OwnfolderCheck->isChecked(), !flip);
            QCOMPARE(ui_->QuellCheck->isChecked(), flip);
            QCOMPARE(ui_->OwnFolderCheck2->isChecked(), flip);
            QCOMPARE(ui_->QuellCheck2->isChecked(), !flip);
            QCOMPARE(ui_->OutDirectoryEd->fileName(), QString(flip ? "/musik/b" : "/musik/wav aus"));
            QCOMPARE(ui_->OutDirectory2Ed->fileName(), QString(flip ? "/musik/c" : "/musik/mp3 aus"));
            QCOMPARE(ui_->mp3format->currentIndex(), mp3);
            QCOMPARE(ui_->mp3format2->currentIndex(), mp3);
            QCOMPARE(ui_->WAVFormats->currentIndex(), wav);
            QCOMPARE(form_->geometry(), placed);
        }
    }

    void formatBoxesFollowEachOtherAndSettingsDatHoldsTwelveBytes() {
        ui_->mp3format2->setCurrentIndex(3);
        emit ui_->mp3format2->activated(3);
        QCOMPARE(ui_->mp3format->currentIndex(), 3);
        QByteArray dat;
        {
            QFile f(P("settings.dat"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            dat = f.readAll();
        }
        QCOMPARE(dat.size(), 12);
        QCOMPARE(Int32At(dat, 0), 3);
        QCOMPARE(Int32At(dat, 4), 3);
        QCOMPARE(Int32At(dat, 8), 0);
        ui_->WAVFormats->setCurrentIndex(5);
        emit ui_->WAVFormats->activated(5);
        QFile f(P("settings.dat"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        dat = f.readAll();
        QCOMPARE(Int32At(dat, 0), 3);
        QCOMPARE(Int32At(dat, 8), 5);
        f.close();

        // Read back at the next start; a position beyond its list selects nothing.
        Fresh();
        QCOMPARE(ui_->mp3format->currentIndex(), 3);
        QCOMPARE(ui_->WAVFormats->currentIndex(), 5);
        QFile w(P("settings.dat"));
        QVERIFY(w.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const char bytes[12] = {7, 0, 0, 0, 7, 0, 0, 0, static_cast<char>(0xE7), 3, 0, 0};
        w.write(bytes, 12);
        w.close();
        Fresh();
        QCOMPARE(ui_->mp3format->currentIndex(), 7);
        QCOMPARE(ui_->WAVFormats->currentIndex(), -1);
        // A conversion then asks for a format instead of reading past the list.
        ui_->input3ed->setFileName(P("x.wav"));
        ui_->output3ed->setFileName(P("y.wav"));
        BoxAnswerer answerer;
        form_->GoClick(5);
        QCOMPARE(answerer.texts, QStringList{"Sie müssen zunächst ein Ausgabeformat wählen!"});
    }

    void settingsRoundTrip() {
        ui_->OutDirectoryEd->setFileName("  /musik/aus  ");
        ui_->OwnfolderCheck->setChecked(true);
        ui_->cdqualcheck->setChecked(true);
        form_->SaveStore(false);
        {
            auto store = TMainForm::OpenStore();
            store->beginGroup("TMainForm");
            QCOMPARE(store->value("OutDirectoryEd_Text").toString(), QString("/musik/aus"));
            QCOMPARE(store->value("OwnfolderCheck_Checked").toString(), QString("True"));
            QCOMPARE(store->value("QuellCheck_Checked").toString(), QString("False"));
            QCOMPARE(store->value("Visible").toString(), QString("0"));
            // Capitals still check a box; another word leaves it alone; the
            // placement of another screen resolution is not applied.
            store->setValue("cdqual2check_Checked", "TRUE");
            store->setValue("cdqualcheck_Checked", "ja");
            store->setValue("OutDirectory2Ed_Text", "  /mp3 ziel  ");
            store->setValue("PixelsPerInch", "120");
            store->setValue("NormPos", "10,20,710,520");
            store->remove(QString("NormPos(%1x%2)").arg(form_->screen()->size().width()).arg(form_->screen()->size().height()));
        }
        Fresh();
        form_->show();
        QVERIFY(ui_->cdqual2check->isChecked());
        QVERIFY(!ui_->cdqualcheck->isChecked());  // "ja" is no answer
        QVERIFY(ui_->OwnfolderCheck->isChecked());
        QVERIFY(!ui_->QuellCheck->isChecked());
        QCOMPARE(ui_->OutDirectoryEd->fileName(), QString("/musik/aus"));
        QCOMPARE(ui_->OutDirectory2Ed->fileName(), QString("/mp3 ziel"));
        QVERIFY(form_->width() != 700);

        // At the same dots per inch the placement is applied. (Closing the
        // window saves its own placement, so it goes first.)
        const int dpi = qRound(form_->screen()->logicalDotsPerInch());
        const QSize screen = form_->screen()->size();
        form_.reset();
        {
            auto store = TMainForm::OpenStore();
            store->beginGroup("TMainForm");
            store->setValue("PixelsPerInch", QString::number(dpi));
            store->setValue(QString("NormPos(%1x%2)").arg(screen.width()).arg(screen.height()), "10,20,710,520");
        }
        Fresh();
        form_->show();
        // The window has one size: the position is taken, the size not.
        QCOMPARE(form_->geometry(), QRect(10, 20, 675, 470));
    }

    void batchListsAddDeleteAndEscape() {
        form_->AddFiles(ui_->FileList, {"/a/1.mp3", "/a/2.mp3", "/a/1.mp3", "/A/1.mp3", "/a/3.mp3"});
        form_->AddFiles(ui_->FileList, {"/a/4.mp3", "/a/2.mp3"});
        QCOMPARE(ui_->FileList->count(), 5);
        for (int i : {1, 3, 4}) ui_->FileList->item(i)->setSelected(true);
        form_->DelbtnClick();
        QCOMPARE(ui_->FileList->count(), 2);
        QCOMPARE(ui_->FileList->item(0)->text(), QString("/a/1.mp3"));
        QCOMPARE(ui_->FileList->item(1)->text(), QString("/A/1.mp3"));  // letter case counts
        form_->DelbtnClick();  // nothing selected: nothing happens
        QCOMPARE(ui_->FileList->count(), 2);

        // By keyboard: Tab to "Löschen", Space. The focus stays in the list,
        // on the entry that took the removed one's place, so a second Space
        // does not reach "Alle löschen".
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        ui_->PageControl2->setCurrentWidget(ui_->BatchSheet1);
        form_->AddFiles(ui_->FileList, {"/a/5.mp3", "/a/6.mp3"});
        ui_->FileList->setFocus();
        ui_->FileList->setCurrentRow(1);
        ui_->Delbtn->setFocus();
        QTest::keyClick(ui_->Delbtn, Qt::Key_Space);
        QCOMPARE(ui_->FileList->count(), 3);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui_->FileList));
        QCOMPARE(ui_->FileList->currentItem()->text(), QString("/a/5.mp3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(ui_->FileList->count(), 3);
        ui_->FileList->clear();
        form_->AddFiles(ui_->FileList, {"/a/1.mp3", "/A/1.mp3"});

        // Escape on the batch tab presses "Löschen".
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        ui_->PageControl2->setCurrentWidget(ui_->BatchSheet1);
        ui_->FileList->item(0)->setSelected(true);
        ui_->FileList->setFocus();
        QTest::keyClick(ui_->FileList, Qt::Key_Escape);
        QCOMPARE(ui_->FileList->count(), 1);
        form_->DelAllBtnClick();
        QCOMPARE(ui_->FileList->count(), 0);

        // The Delete key in either list removes its selection, the focus
        // staying as after "Löschen".
        for (QListWidget* list : {ui_->FileList, ui_->FileList2}) {
            ui_->PageControl1->setCurrentIndex(list == ui_->FileList ? 0 : 1);
            (list == ui_->FileList ? ui_->PageControl2 : ui_->PageControl3)->setCurrentIndex(1);
            form_->AddFiles(list, {"/d/1.wav", "/d/2.wav", "/d/3.wav"});
            list->setFocus();
            list->item(1)->setSelected(true);
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(list->count(), 2);
            QCOMPARE(list->item(1)->text(), QString("/d/3.wav"));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
            QCOMPARE(list->currentItem()->text(), QString("/d/3.wav"));

            // Elsewhere on the page the key belongs to what has the focus.
            QWidget* other = list == ui_->FileList ? static_cast<QWidget*>(ui_->cdqual2check) : ui_->mp3format2;
            list->item(0)->setSelected(true);
            other->setFocus();
            QTest::keyClick(other, Qt::Key_Delete);
            QCOMPARE(list->count(), 2);
        }
    }

    void tagEditorOpensEditsAndSaves() {
        testing_support::WriteFile(P("song.mp3").toStdString(), std::vector<std::uint8_t>(2000, 0x33));
        BoxAnswerer answerer;
        form_->FillID3TagInformation(P("song.mp3"));
        QCOMPARE(answerer.texts, QStringList{"Die Datei enthält keine ID3-Tag Informationen!"});
        form_->FillID3TagInformation(P("missing.mp3"));
        QCOMPARE(answerer.texts.last(), QString("Konnte die Datei nicht öffnen!"));
        QCOMPARE(ui_->edGenre->count(), 148);

        ui_->edTitle->setText("Grüße aus Köln");
        ui_->edComment->setText(QString(29, 'k'));
        QCOMPARE(ui_->trackinfo->text(),
                 QString("Da der Kommentar über 28 Zeichen lang ist kann die Track-Nummer nicht gespeichert werden!"));
        ui_->edComment->setText("kurz");
        QVERIFY(ui_->trackinfo->text().isEmpty());
        ui_->edLiedNr->setText("12");
        ui_->edGenre->setEditText("Top 40");
        form_->ChangeID3Tag(P("song.mp3"));
        QCOMPARE(QFileInfo(P("song.mp3")).size(), qint64(2128));
        form_->ChangeID3Tag(P("nothing.mp3"));  // never creates a file
        QVERIFY(!QFile::exists(P("nothing.mp3")));
        QCOMPARE(answerer.texts.size(), 3);

        Fresh();
        form_->FillID3TagInformation(P("song.mp3"));
        QCOMPARE(ui_->edTitle->text(), QString("Grüße aus Köln"));
        QCOMPARE(ui_->edLiedNr->text(), QString("12"));
        QCOMPARE(ui_->edGenre->currentText(), QString("Top 40"));
        // Texts of any length (an ID3v2 tag holds them whole); the year as
        // the tag's four characters.
        QVERIFY(ui_->edTitle->maxLength() > 1000);
        QCOMPARE(ui_->edYear->maxLength(), 4);
        // Focus order as the fields stand: title, artist, album, year,
        // genre, comment, track.
        auto next = [](QWidget* w) {
            do w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy());
            return w;
        };
        QWidget* w = ui_->edTitle;
        for (QWidget* expected : std::initializer_list<QWidget*>{ui_->edArtist, ui_->edAlbum, ui_->edYear, ui_->edGenre,
                                                                 ui_->edComment, ui_->edLiedNr}) {
            w = next(w);
            QCOMPARE(w, expected);
        }
    }

    // A collection's folder dropped on the batch list: its whole tree, in
    // order, then the same tree in the output folder; what was left out
    // said in one message. (As root, no folder is closed to us.)
    void droppedTreesComeOutAsTheyWentIn() {
        const auto trees = testing_support::MakeTrees(P("trees").toStdString(),
                                                      testing_support::MakeWav(testing_support::MakeMusic(22050, 1, 0.2), 22050, 1),
                                                      geteuid() != 0);
        for (const testing_support::Tree& tree : trees) {
            Fresh();
            BoxAnswerer answerer;
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(tree.given.string()))});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(ui_->FileList2->viewport(), &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(ui_->FileList2->viewport(), &drop);
            QTRY_COMPARE(ui_->FileList2->count(), static_cast<int>(tree.sources.size()));
            for (int i = 0; i < ui_->FileList2->count(); ++i)
                QCOMPARE(ui_->FileList2->item(i)->text(), QString::fromStdString(tree.sources[static_cast<std::size_t>(i)].string()));
            for (const auto& folder : tree.unreadable)
                QTRY_VERIFY(answerer.texts.join("").contains(QString::fromStdString(folder.string())));
            ui_->OwnFolderCheck2->setChecked(true);
            ui_->OutDirectory2Ed->setFileName(QString::fromStdString(tree.out.string()));
            form_->GoClick(4);
            QCOMPARE(testing_support::OutputProblem(tree), std::string());
            // One box for the files that failed, naming each by its place
            // below the folder given, and none else.
            QCOMPARE(answerer.texts.size(), (tree.failing.empty() ? 0 : 1) + (tree.unreadable.empty() ? 0 : 1));
            for (const auto& failing : tree.failing)
                QVERIFY(answerer.texts.join("").contains(
                    QString::fromStdString(std::filesystem::relative(failing, tree.given).string()) + ": "));
        }
    }

    // A collection run again from the window: "Überspringen" converts
    // what is missing or stale, cleans what a killed run left, takes
    // covers, playlists and cue sheets along, and says what it skipped.
    void aCollectionRunAgainSkipsWhatIsDone() {
        const testing_support::Library lib(P("sammlung").toStdString());
        form_->AddToBatchList(ui_->FileList2, {lib.given.string()});
        ui_->OwnFolderCheck2->setChecked(true);
        ui_->OutDirectory2Ed->setFileName(QString::fromStdString(lib.out.string()));
        QStringList asked, said;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            (box->text().contains("existier") ? asked : said) << box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == "Über&springen" || box->buttons().size() == 1) return b->click();
        });
        answer.start(10);
        form_->GoClick(4);
        QCOMPARE(asked, QStringList{"2 der Zieldateien existieren bereits. Sollen sie überschrieben werden?"});
        QCOMPARE(said.size(), 2);
        QVERIFY(said.contains("Eine unvollständige Zieldatei eines abgebrochenen Laufs wurde entfernt."));
        QVERIFY(said.join("").contains("Eine Wiedergabeliste konnte nicht gelesen werden"));
        QCOMPARE(form_->StatusText->text(), QString("6 Dateien konvertiert, 1 übersprungen."));
        QCOMPARE(lib.Check(), std::string());
    }

    void droppedFilesJoinTheListAndFillTheSourceField() {
        testing_support::WriteFile(P("d1.mp3").toStdString(), {1, 2, 3});
        testing_support::WriteFile(P("d2.mp3").toStdString(), {1, 2, 3});
        auto drop = [](QWidget* target, const QStringList& files) {
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString& f : files) urls << QUrl::fromLocalFile(f);
            mime.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        };
        drop(ui_->FileList->viewport(), {P("d1.mp3"), P("d2.mp3"), P("d1.mp3")});
        QTRY_COMPARE(ui_->FileList->count(), 2);
        // A folder brings the files of the list's kind inside it, in name
        // order; what is of neither kind is named in one message, which
        // counts the files of other kinds in the folder.
        QDir().mkpath(P("sub"));
        for (const char* name : {"b.mp3", "a.MP3", "c.wav", "notes.txt"}) testing_support::WriteFile(P(QString("sub/") + name).toStdString(), {1});
        {
            BoxAnswerer answerer;
            drop(ui_->FileList->viewport(), {P("sub"), P("sub/notes.txt")});
            QTRY_COMPARE(ui_->FileList->count(), 4);
            QCOMPARE(ui_->FileList->item(2)->text(), QDir::toNativeSeparators(P("sub/a.MP3")));
            QCOMPARE(ui_->FileList->item(3)->text(), QDir::toNativeSeparators(P("sub/b.mp3")));
            QTRY_COMPARE(answerer.texts, QStringList{"Folgende Dateien wurden nicht übernommen: " +
                                                     QDir::toNativeSeparators(P("sub/notes.txt")) +
                                                     "\n2 Dateien anderer Art wurden übergangen."});
            drop(ui_->FileList2->viewport(), {P("sub")});
            QTRY_COMPARE(ui_->FileList2->count(), 1);
        }
        drop(ui_->input2ed, {P("d1.mp3")});
        QCOMPARE(ui_->input2ed->fileName(), QDir::toNativeSeparators(P("d1.mp3")));
        QCOMPARE(ui_->output2ed->fileName(), QDir::toNativeSeparators(P("d1.mp3")));  // ".mp3" replaced by ".mp3"
        drop(ui_->InputFileEd, {P("d2.mp3")});
        QCOMPARE(ui_->OutputFileEd->fileName(), QDir::toNativeSeparators(P("d2.wav")));

        // On the tag page a dropped file opens, wherever it lands (a field
        // or the page), as the open button would; it never becomes the
        // field's text, and neither does dropped text. An MP3 with only an
        // ID3v2 tag shows it, each field whole.
        TId3Fields v2;
        v2.Title = "Ein Titel, der länger ist als dreißig Zeichen";
        v2.Artist = "Band";
        v2.Year = "1998";
        v2.Track = "3";
        std::vector<std::uint8_t> bytes = RenderId3v2(v2, 4);
        bytes.resize(bytes.size() + 2000, 0x33);
        testing_support::WriteFile(P("v2.mp3").toStdString(), bytes);
        ui_->PageControl1->setCurrentWidget(ui_->TabSheet4);
        for (QWidget* target : {static_cast<QWidget*>(ui_->edArtist), static_cast<QWidget*>(ui_->TabSheet4)}) {
            ui_->edArtist->setText("vorher");
            BoxAnswerer answerer;
            drop(target, {P("v2.mp3")});
            QTRY_COMPARE(ui_->edArtist->text(), QString("Band"));
            QVERIFY(answerer.texts.isEmpty());
            QCOMPARE(ui_->edTitle->text(), QString("Ein Titel, der länger ist als dreißig Zeichen"));
            QCOMPARE(ui_->edYear->text(), QString("1998"));
            QCOMPARE(ui_->edLiedNr->text(), QString("3"));
        }
        QMimeData text;
        text.setText("Text");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui_->edComment, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui_->edComment, &event);
        QCoreApplication::processEvents();
        QVERIFY(ui_->edComment->text().isEmpty());

        // Saving writes only the tag: the save dialog asks nothing about
        // replacing the file.
        QTimer::singleShot(50, this, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->reject();
        });
        form_->SaveBtnClick();
    }

    // What "Open with" passes: one MP3 or WAV into its page's source field
    // (target named as after the dialog), several into their batch lists;
    // the first file's page is shown; other files, folders and missing
    // files are named in one message.
    void filesFromTheCommandLine() {
        for (const char* name : {"o1.mp3", "o2.MP3", "o3.wav", "notes.txt"})
            testing_support::WriteFile(P(name).toStdString(), {1, 2, 3});
        BoxAnswerer answerer;
        form_->OpenFiles({P("o3.wav")});
        QVERIFY(answerer.texts.isEmpty());
        QCOMPARE(ui_->PageControl1->currentWidget(), ui_->TabSheet2);
        QCOMPARE(ui_->input2ed->fileName(), QDir::toNativeSeparators(P("o3.wav")));
        QCOMPARE(ui_->output2ed->fileName(), QDir::toNativeSeparators(P("o3.mp3")));

        Fresh();
        form_->OpenFiles({P("notes.txt"), P("o1.mp3")});
        QCOMPARE(ui_->PageControl1->currentWidget(), ui_->TabSheet1);
        QCOMPARE(ui_->PageControl2->currentWidget(), ui_->SingleSheet1);
        QCOMPARE(ui_->InputFileEd->fileName(), QDir::toNativeSeparators(P("o1.mp3")));
        QCOMPARE(ui_->OutputFileEd->fileName(), QDir::toNativeSeparators(P("o1.wav")));

        Fresh();
        // A folder brings its MP3s and WAVs; a folder with neither is named.
        QDir().mkpath(P("cmd"));
        QDir().mkpath(P("empty"));
        for (const char* name : {"cmd/y.wav", "cmd/x.mp3", "cmd/notes.txt"}) testing_support::WriteFile(P(name).toStdString(), {1});
        form_->OpenFiles({P("o3.wav"), P("o1.mp3"), P("cmd"), P("missing.mp3"), P("o2.MP3"), P("empty")});
        QCOMPARE(answerer.texts.last(), "Folgende Dateien wurden nicht übernommen: " + QDir::toNativeSeparators(P("missing.mp3")) +
                                            ", " + QDir::toNativeSeparators(P("empty")) +
                                            "\nEine Datei anderer Art wurde übergangen.");
        QCOMPARE(ui_->PageControl1->currentWidget(), ui_->TabSheet2);
        QCOMPARE(ui_->PageControl3->currentWidget(), ui_->BatchSheet2);
        QCOMPARE(ui_->FileList->count(), 3);
        QCOMPARE(ui_->FileList->item(1)->text(), QDir::toNativeSeparators(P("cmd/x.mp3")));
        QCOMPARE(ui_->FileList->item(2)->text(), QDir::toNativeSeparators(P("o2.MP3")));
        QCOMPARE(ui_->FileList2->count(), 2);
        QVERIFY(ui_->InputFileEd->fileName().isEmpty());

        // A folder always means the batch list, even with one file in it
        // and a name beside it that is no file.
        for (const QStringList& given : {QStringList{P("one")}, QStringList{P("missing.txt"), P("one")}}) {
            Fresh();
            QDir().mkpath(P("one"));
            testing_support::WriteFile(P("one/only.mp3").toStdString(), {1});
            form_->OpenFiles(given);
            QVERIFY(ui_->InputFileEd->fileName().isEmpty());
            QCOMPARE(ui_->FileList->count(), 1);
            QCOMPARE(ui_->PageControl2->currentWidget(), ui_->BatchSheet1);
        }

        Fresh();
        form_->OpenFiles({P("notes.txt")});
        QCOMPARE(answerer.texts.size(), 4);  // one message per start
        QCOMPARE(ui_->PageControl1->currentIndex(), 0);
        QCOMPARE(ui_->FileList->count(), 0);
    }

    // The target field is filled in from the source's name: an existing
    // file there is replaced only after "Ja"; a name confirmed in the
    // field's own save dialog is not asked about again.
    void anExistingTargetIsReplacedOnlyAfterAsking() {
        testing_support::WriteFile(P("q.wav").toStdString(),
                                   testing_support::MakeWav(testing_support::MakeMusic(22050, 1, 0.5), 22050, 1));
        const std::vector<std::uint8_t> original = {'m', 'i', 'n', 'e'};
        testing_support::WriteFile(P("q.mp3").toStdString(), original);
        form_->OpenFiles({P("q.wav")});
        QCOMPARE(ui_->output2ed->fileName(), QDir::toNativeSeparators(P("q.mp3")));
        {
            BoxAnswerer no(QMessageBox::No);
            form_->GoClick(3);
            QCOMPARE(no.texts, QStringList{"Die Datei „" + QDir::toNativeSeparators(P("q.mp3")) +
                                           "“ existiert bereits. Soll sie überschrieben werden?"});
            QVERIFY(!form_->StatusForm()->isVisible());
        }
        QCOMPARE(testing_support::ReadFile(P("q.mp3").toStdString()), original);
        {
            // Nein is the default: Return or Escape keep the file.
            QTimer::singleShot(50, this, [] {
                if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Return);
            });
            form_->GoClick(3);
            QCOMPARE(testing_support::ReadFile(P("q.mp3").toStdString()), original);
        }
        {
            BoxAnswerer yes(QMessageBox::Yes);
            form_->GoClick(3);
            QCOMPARE(yes.texts.size(), 1);
        }
        QVERIFY(QFileInfo(P("q.mp3")).size() > 1000);

        // Chosen in the save dialog, which asked about replacing it there.
        QTimer dialogs;
        QStringList asked;
        connect(&dialogs, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                dialog->selectFile(P("q.mp3"));
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                asked << box->text();
                box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
            }
        });
        dialogs.start(10);
        ui_->output2ed->browse();
        QCOMPARE(asked.size(), 1);  // the dialog's own question
        QVERIFY(ui_->output2ed->replaceConfirmed());
        form_->GoClick(3);
        QCOMPARE(asked.size(), 1);
        // Changed by hand afterwards: asked again.
        ui_->output2ed->setFileName(P("other.mp3"));
        ui_->output2ed->setFileName(P("q.mp3"));
        QVERIFY(!ui_->output2ed->replaceConfirmed());
    }

    // The window's batch names its targets as the command line does:
    // same-named sources from three folders into one output folder.
    void aBatchGivesSameNamedSourcesTargetsOfTheirOwn() {
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            const QString sub = folder_ + QString("/f%1").arg(i);
            QDir().mkpath(sub);
            testing_support::WriteFile((sub + "/Lied.wav").toStdString(),
                                       testing_support::MakeWav(testing_support::MakeMusic(44100, 2, 1.0 + i * 0.5), 44100, 2));
            files << sub + "/Lied.wav";
        }
        QDir().mkpath(P("out"));
        form_->AddFiles(ui_->FileList2, files);
        ui_->OwnFolderCheck2->setChecked(true);
        ui_->OutDirectory2Ed->setFileName(P("out"));
        {
            BoxAnswerer answerer;
            form_->GoClick(4);
            QVERIFY(answerer.texts.isEmpty());
        }
        testing_support::RecordingHost host;
        TConverterCore decoder(host);
        decoder.Catalogue.Build();
        const QString names[] = {"Lied.mp3", "Lied (2).mp3", "Lied (3).mp3"};
        for (int i = 0; i < 3; ++i) {
            decoder.ConvertMP3WAV(P("out/" + names[i]).toStdString(), P("check.wav").toStdString());
            QVERIFY(host.errors.empty());
            QCOMPARE(QFileInfo(P("check.wav")).size(), qint64(44 + 4 * 44100 * (1.0 + i * 0.5)));
        }
        QCOMPARE(QDir(P("out")).entryList(QDir::Files).size(), 3);

        // Again: the three results of before are files the user has now.
        // Asked once; Nein keeps them and numbers the new ones on, Ja
        // replaces them.
        testing_support::WriteFile(P("out/Lied.mp3").toStdString(), {'m', 'i', 'n', 'e'});
        {
            BoxAnswerer no(QMessageBox::No);
            form_->GoClick(4);
            QCOMPARE(no.texts, QStringList{"3 der Zieldateien existieren bereits. Sollen sie überschrieben werden?"});
        }
        QCOMPARE(testing_support::ReadFile(P("out/Lied.mp3").toStdString()), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
        QCOMPARE(QDir(P("out")).entryList(QDir::Files).size(), 6);
        QVERIFY(QFileInfo(P("out/Lied (6).mp3")).size() > 1000);
        // "Abbrechen", Escape and closing the box start nothing.
        for (int way = 0; way < 3; ++way) {
            QTimer answer;
            connect(&answer, &QTimer::timeout, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                QCOMPARE(box->button(QMessageBox::Cancel)->text(), QString("Abbrechen"));
                if (way == 0) box->button(QMessageBox::Cancel)->click();
                if (way == 1) QTest::keyClick(box, Qt::Key_Escape);
                if (way == 2) box->close();
            });
            answer.start(10);
            form_->GoClick(4);
            answer.stop();
            QCOMPARE(QDir(P("out")).entryList(QDir::Files).size(), 6);
            QCOMPARE(testing_support::ReadFile(P("out/Lied.mp3").toStdString()), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
            QVERIFY(!form_->StatusForm()->isVisible());
        }
        {
            BoxAnswerer yes(QMessageBox::Yes);
            form_->GoClick(4);
            QCOMPARE(yes.texts.size(), 1);
        }
        QCOMPARE(QDir(P("out")).entryList(QDir::Files).size(), 6);
        QVERIFY(QFileInfo(P("out/Lied.mp3")).size() > 1000);
    }

    // An installed program writes nothing into its own folder, also where
    // it could (as root); one run from its build folder keeps settings.dat
    // beside itself.
    void settingsDatNeverGoesIntoAnInstallationFolder() {
        QVERIFY(!TMainForm::InstalledFolder(folder_));
        QCOMPARE(QFileInfo(form_->SettingsDatPath()).absolutePath(), QFileInfo(folder_).absoluteFilePath());
        for (const QString& installed : {QString("/usr/bin"), QString("/usr/local/bin/"), QString("/opt/sondrel")})
            QVERIFY2(TMainForm::InstalledFolder(installed), qPrintable(installed));
        // Installed under a prefix of the user's own.
        QDir().mkpath(P("prefix/bin"));
        QDir().mkpath(P("prefix/share/applications"));
        QVERIFY(!TMainForm::InstalledFolder(P("prefix/bin")));
        testing_support::WriteFile(P("prefix/share/applications/sondrel.desktop").toStdString(), {'x'});
        QVERIFY(TMainForm::InstalledFolder(P("prefix/bin")));
        TMainForm installed(P("prefix/bin"));
        QVERIFY(!installed.SettingsDatPath().startsWith(QDir::toNativeSeparators(P("prefix"))));
        TMainForm system(QStringLiteral("/usr/bin"));
        QVERIFY(!system.SettingsDatPath().startsWith(QStringLiteral("/usr/")));
    }

    // Painting the progress may leave the upper halves of the vector
    // registers in use (Qt's raster code is built for AVX); the codecs,
    // legacy SSE, would then run at half speed. Whenever the window's
    // progress display or message pump hands back to the conversion, that
    // state is clear again.
    void theCodecsNeverRunBehindTheWindowsVectorState() {
        if (!CanReadVectorState()) QSKIP("the processor does not tell which register states are in use");
        struct Forwarding : TJobHost {
            TMainForm& form;
            int calls = 0, dirtyOnReturn = 0, dirtyInConversion = 0;
            explicit Forwarding(TMainForm& f) : form(f) {}
            void Enter() { dirtyInConversion += UpperVectorStateInUse(); ++calls; }
            void Leave() { dirtyOnReturn += UpperVectorStateInUse(); }
            void ShowError(const std::string& t) override { QFAIL(t.c_str()); }
            void ShowNotice(const std::string& t) override { QFAIL(t.c_str()); }
            void ShowProgress(int f, int o) override { Enter(); form.ShowProgress(f, o); Leave(); }
            void ProcessMessages() override { Enter(); form.ProcessMessages(); Leave(); }
        } host(*form_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        testing_support::WriteFile(P("long.wav").toStdString(),
                                   testing_support::MakeWav(testing_support::MakeMusic(44100, 2, 20.0), 44100, 2));
        TConverterCore core(host);
        core.Catalogue.Build();
        core.Mp3FormatIndex = 0;
        core.ConvertWAVMP3(P("long.wav").toStdString(), P("long.mp3").toStdString());
        QVERIFY(host.calls > 100);
        QCOMPARE(host.dirtyInConversion, 0);
        qInfo("%d of %d returns from the window left the upper vector state in use", host.dirtyOnReturn, host.calls);
    }

    // The Go buttons, Info and Ende by keyboard: Tab reaches them after the
    // last control of their page, Space and Return press them as a click
    // does (same handler: one message for empty names per press), and
    // every control that takes focus has a name a screen reader can say.
    void theImageButtonsByKeyboard() {
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        struct Row {
            int page;
            QTabWidget* inner;
            int innerPage;
            QWidget* before;
            QWidget* go;
        } rows[] = {{0, ui_->PageControl2, 0, ui_->cdqualcheck, ui_->GoBtn1},
                    {0, ui_->PageControl2, 1, ui_->cdqual2check, ui_->Gobtn2},
                    {1, ui_->PageControl3, 0, ui_->mp3format, ui_->GoBtn3},
                    {1, ui_->PageControl3, 1, ui_->mp3format2, ui_->GoBtn4},
                    {2, ui_->PageControl4, 0, ui_->WAVFormats, ui_->GoBtn5}};
        for (const Row& r : rows) {
            form_->activateWindow();  // back from the last message box
            QVERIFY(QTest::qWaitForWindowActive(form_.get()));
            ui_->PageControl1->setCurrentIndex(r.page);
            r.inner->setCurrentIndex(r.innerPage);
            r.before->setFocus();
            QTest::keyClick(r.before, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), r.go);
            BoxAnswerer answerer;
            QTest::keyClick(r.go, Qt::Key_Space);
            QCOMPARE(answerer.texts.size(), 1);
            QTest::keyClick(r.go, Qt::Key_Return);
            QCOMPARE(answerer.texts.size(), 2);
            QVERIFY(!form_->GoButtons[0]->Pressed());
        }
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        ui_->GoBtn5->setFocus();
        QTest::keyClick(ui_->GoBtn5, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui_->wwwBtn);
        QTest::keyClick(ui_->wwwBtn, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui_->ueberbtn);
        QTest::keyClick(ui_->ueberbtn, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ui_->EndeBtn);
        {
            BoxAnswerer cancel(QMessageBox::Cancel);
            QTest::keyClick(ui_->EndeBtn, Qt::Key_Space);
            QCOMPARE(cancel.titles, QStringList{"Programm beenden"});
        }
        QVERIFY(form_->isVisible());

        QStringList unnamed;
        for (QWidget* w : form_->findChildren<QWidget*>()) {
            // Popups (a list's drop-down) and tab bars are named by what
            // they show.
            if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || w->window() != form_.get() ||
                qobject_cast<QTabBar*>(w))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (!a || a->text(QAccessible::Name).isEmpty()) unnamed << w->objectName() + ":" + w->metaObject()->className();
        }
        QCOMPARE(unnamed, QStringList{});
    }

    // What a screen reader meets: the picture buttons are push buttons
    // whose press action clicks (and answers at once, before the message
    // the click brings); each browse button is reached by Tab after its
    // field, says which field it fills and answers a press at once; the
    // status line reads as its text, the progress panel as a progress bar
    // with its value; shortcuts switch pages and press Go.
    void whatAScreenReaderMeets() {
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        for (QWidget* w : {static_cast<QWidget*>(ui_->GoBtn1), static_cast<QWidget*>(ui_->Gobtn2),
                           static_cast<QWidget*>(ui_->GoBtn3), static_cast<QWidget*>(ui_->GoBtn4),
                           static_cast<QWidget*>(ui_->GoBtn5), static_cast<QWidget*>(ui_->ueberbtn),
                           static_cast<QWidget*>(ui_->EndeBtn)}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a);
            QCOMPARE(a->role(), QAccessible::Button);
            QVERIFY(a->actionInterface());
            QVERIFY2(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()),
                     qPrintable(w->objectName()));
            QVERIFY(a->state().focusable);
        }
        QAccessibleInterface* go = QAccessible::queryAccessibleInterface(ui_->GoBtn5);
        QCOMPARE(go->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList{QKeySequence(QStringLiteral("Alt+G")).toString()});
        ui_->PageControl1->setCurrentIndex(2);
        {
            BoxAnswerer answerer;
            go->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QVERIFY(answerer.texts.isEmpty());  // the call came back first
            QTRY_COMPARE(answerer.texts, QStringList{"Sie müssen zunächst die Quell- und Zieldatei wählen!"});
            QTest::qWait(100);
            QCOMPARE(answerer.texts.size(), 1);  // one click per press
            // The same by its shortcut, from a field of the page.
            form_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form_.get()));
            ui_->input3ed->lineEdit()->setFocus();
            QTest::keyClick(ui_->input3ed->lineEdit(), Qt::Key_G, Qt::AltModifier);
            QCOMPARE(answerer.texts.size(), 2);
            QVERIFY(ui_->input3ed->fileName().isEmpty());
        }

        int fields = 0;
        for (TFileEdit* field : form_->findChildren<TFileEdit*>()) {
            QToolButton* browse = field->browseButton();
            QVERIFY(!field->accessibleName().isEmpty());
            QCOMPARE(QAccessible::queryAccessibleInterface(browse)->text(QAccessible::Name),
                     "Durchsuchen: " + field->accessibleName());
            QVERIFY(browse->focusPolicy() & Qt::TabFocus);
            QCOMPARE(field->lineEdit()->nextInFocusChain(), static_cast<QWidget*>(browse));
            ++fields;
        }
        QCOMPARE(fields, 8);
        ui_->PageControl1->setCurrentIndex(0);
        ui_->PageControl2->setCurrentIndex(0);
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        ui_->InputFileEd->lineEdit()->setFocus();
        QTest::keyClick(ui_->InputFileEd->lineEdit(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui_->InputFileEd->browseButton()));
        QAccessibleInterface* browse = QAccessible::queryAccessibleInterface(ui_->InputFileEd->browseButton());
        bool dialogSeen = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                dialog->reject();
            }
        });
        closer.start(10);
        browse->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!QApplication::activeModalWidget());  // answered before the dialog opens
        QTRY_VERIFY(dialogSeen);
        closer.stop();

        // The lists are named by their labels; their choice is their value.
        ui_->edGenre->setCurrentIndex(ui_->edGenre->findText("Jazz"));
        for (QComboBox* box : {ui_->mp3format, ui_->mp3format2, ui_->WAVFormats, ui_->edGenre}) {
            QAccessibleInterface* list = QAccessible::queryAccessibleInterface(box);
            QVERIFY(!list->text(QAccessible::Name).isEmpty());
            QVERIFY(!box->currentText().isEmpty());
            QCOMPARE(list->text(QAccessible::Value), box->currentText());
        }

        form_->ShowStatusText("Verarbeite Datei 3 von 6");
        QCOMPARE(QAccessible::queryAccessibleInterface(form_->StatusText)->text(QAccessible::Name),
                 QString("Verarbeite Datei 3 von 6"));
        form_->ShowStatusText("");
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(form_->ProgressPanel);
        QCOMPARE(panel->role(), QAccessible::ProgressBar);
        QVERIFY(panel->valueInterface());
        form_->ShowProgress(42, 10);
        QCOMPARE(panel->valueInterface()->currentValue().toInt(), 42);
        QCOMPARE(panel->text(QAccessible::Value), QString("42 %"));
        form_->ShowProgress(0, 0);

        // Alt+1 to Alt+4 for the pages, Alt+B and Alt+E for a page's tabs,
        // found in the tabs' tips.
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTest::keyClick(form_.get(), Qt::Key_2, Qt::AltModifier);
        QCOMPARE(ui_->PageControl1->currentIndex(), 1);
        QTest::keyClick(form_.get(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(ui_->PageControl3->currentIndex(), 1);
        QTest::keyClick(form_.get(), Qt::Key_E, Qt::AltModifier);
        QCOMPARE(ui_->PageControl3->currentIndex(), 0);
        QTest::keyClick(form_.get(), Qt::Key_4, Qt::AltModifier);
        QCOMPARE(ui_->PageControl1->currentIndex(), 3);
        QCOMPARE(ui_->PageControl1->tabToolTip(3), QKeySequence(QStringLiteral("Alt+4")).toString(QKeySequence::NativeText));
    }

    // A job that ended in the background says what it did.
    void whatAJobThatEndsInTheBackgroundSays() {
        TJobNotice notice;
        notice.Begin(3, 1);
        QCOMPARE(notice.Summary(false, 0), QString("Konvertierung abgeschlossen"));
        QCOMPARE(notice.Body(false, 0, "/m/Lied.mp3"), QString("/m/Lied.mp3"));
        notice.Failed(0);
        QCOMPARE(notice.Summary(false, 0), QString("Konvertierung fehlgeschlagen"));
        notice.Begin(4, 6);
        notice.Failed(1);
        notice.Failed(4);
        QCOMPARE(notice.Summary(false, 5), QString("Konvertierung abgeschlossen"));
        QCOMPARE(notice.Body(false, 5, ""), QString("4 von 6 Dateien konvertiert, 2 fehlgeschlagen"));
        // Cancelled with three files ended, the two that failed among them.
        QCOMPARE(notice.Summary(true, 3), QString("Konvertierung abgebrochen"));
        QCOMPARE(notice.Body(true, 3, ""), QString("1 von 6 Dateien konvertiert, 2 fehlgeschlagen"));
    }

    // The program's own command line, without a display: help and version
    // on stdout with 0, and without them a German message on stderr and 1.
    void theCommandLineWithoutADisplay() {
        const struct {
            QStringList args;
            int status;
            QString out, err;  // how each begins
        } rows[] = {{{"--help"}, 0, "Aufruf: sondrel [DATEI...]", ""},
                    {{"--version"}, 0, "sondrel 1.1", ""},
                    {{}, 1, "", "sondrel: Keine Anzeige gefunden."}};
        for (const auto& row : rows) {
            QProcess sondrel;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
            sondrel.setProcessEnvironment(env);
            sondrel.start(SONDREL_WINDOW_BINARY, row.args);
            QVERIFY(sondrel.waitForFinished(20000));
            QCOMPARE(sondrel.exitStatus(), QProcess::NormalExit);
            QCOMPARE(sondrel.exitCode(), row.status);
            const QString out = QString::fromUtf8(sondrel.readAllStandardOutput());
            const QString err = QString::fromUtf8(sondrel.readAllStandardError());
            QVERIFY2(row.out.isEmpty() ? out.isEmpty() : out.startsWith(row.out), qPrintable(out));
            QVERIFY2(row.err.isEmpty() ? err.isEmpty() : err.startsWith(row.err), qPrintable(err));
        }
    }

    // A name of Latin-1 bytes (no UTF-8), as old archives and copies from
    // other systems keep them: dropped on a field, named on the command
    // line, in a batch list, the file converts, shown as well as it can be,
    // and its target's name has the source's bytes.
    void namesThatAreNoUtf8() {
        const std::string name = P("K").toStdString() + "\xF6ln alt";
        testing_support::WriteFile(name + ".wav", testing_support::MakeWav(testing_support::MakeMusic(22050, 1, 0.5), 22050, 1));
        BoxAnswerer answerer;
        QMimeData mime;
        mime.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(name + ".wav").toPercentEncoding("/"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui_->input2ed->lineEdit(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui_->input2ed->lineEdit(), &drop);
        QCOMPARE(ui_->input2ed->fileName(), P("K\uFFFDln alt.wav"));
        form_->GoClick(3);
        QVERIFY(std::filesystem::file_size(name + ".mp3") > 1000);

        Fresh();
        std::filesystem::remove(name + ".wav");
        form_->OpenFiles(std::vector<std::string>{name + ".mp3"});
        form_->GoClick(1);
        QVERIFY(std::filesystem::file_size(name + ".wav") > 44 + 20000);
        // Typed (or restored) as shown, the name finds its file too.
        ui_->InputFileEd->setFileName(ui_->InputFileEd->fileName());
        QCOMPARE(ui_->InputFileEd->filePath(), name + ".mp3");

        Fresh();
        QDir().mkpath(P("aus"));
        form_->OpenFiles(std::vector<std::string>{name + ".mp3", name + ".wav"});
        ui_->OwnfolderCheck->setChecked(true);
        ui_->OutDirectoryEd->setFileName(P("aus"));
        form_->GoClick(2);
        QVERIFY(std::filesystem::exists(P("aus").toStdString() + "/K\xF6ln alt.wav"));
        QVERIFY2(answerer.texts.isEmpty(), qPrintable(answerer.texts.join("\n")));
    }

    // The window's four conversion paths against their sources, each page
    // with its own CD box and batch options set unlike its neighbour's,
    // both ways round; and, during a batch, what the user watches: "Datei
    // 1 von 3" first, an overall bar that is the batch's share and never
    // passes 100 %.
    void eachPageConvertsWithItsOwnControls() {
        for (const char* tool : {"lame", "mpg123", "sox"})
            if (!testing_support::HaveTool(tool)) QSKIP("lame, mpg123 or sox not installed");
        QDir().mkpath(P("src"));
        QStringList mp3s, wavs;
        for (int i = 1; i <= 3; ++i) {
            const QString wav = P(QString("src/w%1.wav").arg(i)), mp3 = P(QString("src/m%1.mp3").arg(i));
            testing_support::WriteFile(wav.toStdString(),
                                       testing_support::MakeWav(testing_support::MakeMusic(22050, 1, 1.0 + i * 0.3, i), 22050, 1));
            QVERIFY(testing_support::Shell("lame --quiet -b 64 " + wav.toStdString() + " " + mp3.toStdString()));
            QVERIFY(testing_support::Shell("mpg123 -q -w " + mp3.toStdString() + ".ref.wav " + mp3.toStdString()));
            mp3s << mp3;
            wavs << wav;
        }
        const testing_support::TargetCheck cd{44100, 2, 16, 2, 60}, own{22050, 1, 16, 0, 60}, mp3{44100, 2, 16, 2, 18};
        const auto check = [&](const QString& reference, const QString& target, const testing_support::TargetCheck& want) {
            const std::string problem = testing_support::TargetProblem(reference.toStdString(), target.toStdString(), want);
            QVERIFY2(problem.empty(), qPrintable(target + ": " + QString::fromStdString(problem)));
        };
        form_->AddFiles(ui_->FileList, mp3s);
        form_->AddFiles(ui_->FileList2, wavs);
        for (const bool flip : {false, true}) {
            const QString out = P(flip ? "b" : "a");
            QDir().mkpath(out);
            ui_->cdqualcheck->setChecked(!flip);
            ui_->cdqual2check->setChecked(flip);
            // Page 1's batch into a folder and page 2's beside its sources,
            // then the other way round.
            (flip ? static_cast<QRadioButton*>(ui_->QuellCheck) : ui_->OwnfolderCheck)->setChecked(true);
            (flip ? static_cast<QRadioButton*>(ui_->OwnFolderCheck2) : ui_->QuellCheck2)->setChecked(true);
            ui_->OutDirectoryEd->setFileName(flip ? P("unused") : out);
            ui_->OutDirectory2Ed->setFileName(flip ? out : P("unused"));
            ui_->InputFileEd->setFileName(mp3s[0]);
            ui_->OutputFileEd->setFileName(out + "/single.wav");
            ui_->input2ed->setFileName(wavs[1]);
            ui_->output2ed->setFileName(out + "/single.mp3");

            BoxAnswerer answerer;
            form_->GoClick(1);
            QStringList texts;
            struct Seen {
                QString text;
                int fileBar, overall;
            };
            QList<Seen> bars;
            const auto watch = connect(form_->StatusForm()->ProgressBar2, &QProgressBar::valueChanged, this, [&](int v) {
                bars << Seen{form_->StatusText->text(), form_->StatusForm()->ProgressBar1->value(), v};
                if (texts.isEmpty() || texts.last() != form_->StatusText->text()) texts << form_->StatusText->text();
            });
            form_->GoClick(2);
            disconnect(watch);
            form_->GoClick(3);
            form_->GoClick(4);
            QCOMPARE(answerer.texts, QStringList{});

            check(mp3s[0] + ".ref.wav", out + "/single.wav", flip ? own : cd);
            for (int i = 0; i < 3; ++i) {
                const QString batchWav = flip ? QString(mp3s[i]).replace(".mp3", ".wav") : out + QString("/m%1.wav").arg(i + 1);
                check(mp3s[i] + ".ref.wav", batchWav, flip ? cd : own);
                const QString batchMp3 = flip ? out + QString("/w%1.mp3").arg(i + 1) : QString(wavs[i]).replace(".wav", ".mp3");
                check(wavs[i], batchMp3, mp3);
            }
            check(wavs[1], out + "/single.mp3", mp3);
            QVERIFY(!QDir(P("unused")).exists());

            // During the batch (on every core): the status line names the
            // lowest-numbered file still running, counting up from 1; the
            // overall bar is the batch's share from all workers, at least
            // the files before that one (weighed by their sizes, as the
            // batch weighs them), rising to 100 % and never past it.
            const QStringList named = texts.mid(texts.indexOf("Verarbeite Datei 1 von 3"));
            QVERIFY(!named.isEmpty());
            qint64 total = 0;
            QList<qint64> before;
            for (const QString& mp3 : mp3s) {
                before << total;
                total += QFileInfo(mp3).size();
            }
            int highest = 0, lastFile = 0;
            for (const Seen& seen : bars) {
                const int file = seen.text.section(' ', 2, 2).toInt() - 1;  // "Verarbeite Datei N von 3"
                if (file < 0) continue;                                      // before the first file
                QVERIFY2(file >= lastFile && seen.overall >= highest && seen.overall <= 100 &&
                             seen.overall >= before[file] * 100 / total,
                         qPrintable(QString("%1: %2 %3").arg(seen.text).arg(seen.fileBar).arg(seen.overall)));
                lastFile = file;
                highest = std::max(highest, seen.overall);
            }
            QCOMPARE(highest, 100);
            QFile::remove(out + "/single.wav");
            QFile::remove(out + "/single.mp3");
        }
    }

    void targetNameAfterTheSourceDialog() {
        ui_->OutputFileEd->setFileName("/von/hand.wav");
        form_->InputFileEdAfterDialog("/a/b.mp3", false);
        QCOMPARE(ui_->OutputFileEd->fileName(), QString("/a/b.wav"));
        form_->InputFileEdAfterDialog("", false);
        QCOMPARE(ui_->OutputFileEd->fileName(), QString(".wav"));
        form_->input2edAfterDialog("/x.y/Lied", true);
        QCOMPARE(ui_->output2ed->fileName(), QString("/x.y/Lied.mp3"));
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
