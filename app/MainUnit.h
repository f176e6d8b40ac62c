// TMainForm: the program's one window. Four pages (MP3 to WAV, WAV to MP3,
// WAV to WAV, the tag editor), a strip with the web, About and Exit buttons
// and a status bar whose last panel shows the progress of a running job.
// The window owns the conversion core and is its front end.
#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QUrl>
#include <array>
#include <memory>

#include "app/JobNotice.h"
#include "app/StatusFUnit.h"
#include "jobs/ConverterCore.h"
#include "jobs/SourceTree.h"
#include "ui/ImageButton.h"

class QComboBox;
class QLabel;
class QListWidget;
class QSettings;

namespace Ui {
class TMainForm;
}

namespace sondrel {

class TFileEdit;

// The status bar's owner-drawn last panel: a navy bar of the drawn percentage.
class TProgressPanel : public QFrame {
    Q_OBJECT
    // What a screen reader reads of it (as a progress bar).
    Q_PROPERTY(int value READ value)
public:
    explicit TProgressPanel(const int& drawnPercent, QWidget* parent = nullptr);
    int value() const { return drawn_; }
    // The bar's area, as last painted; empty before the first paint.
    QRect PanelRect;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const int& drawn_;
};

class TMainForm : public QMainWindow, public TJobHost, public TJobOwner {
    Q_OBJECT
public:
    // programFolder: where settings.dat lives; empty for the executable's
    // folder.
    explicit TMainForm(const QString& programFolder = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    Ui::TMainForm* Form() const { return ui; }
    TStatusForm* StatusForm() const { return statusForm_; }
    // What a job that ends in the background says.
    TJobNotice& JobNotice() { return jobNotice_; }
    TConverterCore& Core() override { return core_; }

    // Start-up and shut-down.
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();

    // Jobs: the Go buttons and the progress display.
    void GoClick(int mode);
    // A single-file job whose target exists asks first; false for "Nein".
    bool MayReplaceTarget(int mode);
    // A batch some of whose targets exist asks once whether they may be
    // replaced: Ja, Nein (they get numbered names instead), or Abbrechen
    // (Escape, closing the box), which starts nothing.
    enum class TBatchAnswer { Replace, Keep, Skip, Cancel };
    TBatchAnswer AskAboutBatchTargets(int mode);
    // The status line's text is read out by a screen reader, wherever the
    // focus is: what the job in hand came to.
    void AnnounceStatus();
    // The source and target fields of a single-file job mode; null for a batch.
    std::pair<TFileEdit*, TFileEdit*> JobFields(int mode) const;
    // The job mode of the Go button on the page in view; 0 on the tag page.
    int VisibleGoMode() const;
    void SetProStatus(int value) { core_.SetProStatus(value); }
    void SBarPaintMore();
    int DrawnPercent = 0;

    // The batch lists and the target name after the source dialog. Names
    // are the bytes the file system holds (ui/FileNames.h).
    void AddFiles(QListWidget* list, const QStringList& files);
    // Entries of a batch list, each with its place below a folder given
    // to the batch (empty for none); names already there are not added
    // again.
    void AddEntries(QListWidget* list, const std::vector<std::string>& files, const std::vector<std::string>& subfolders);
    static void ListEntries(QListWidget* list, std::vector<std::string>& files, std::vector<std::string>& subfolders);
    // Names dropped on a batch list: files of its kind, folders as the
    // files of its kind in their whole tree; the rest said in one message.
    void AddToBatchList(QListWidget* list, const std::vector<std::string>& names);
    static TBatchListing Listing(const std::vector<std::string>& names, const std::vector<std::string>& extensions);
    void SayLeftOut(const TBatchListing& listing);
    void AddBtnClick();
    void AddBtn2Click();
    void DelbtnClick();
    void DelBtn2Click();
    void DelAllBtnClick();
    void DelAllBtn2Click();
    void InputFileEdAfterDialog(const QString& name, bool confirmed);
    // Files named on the command line: one MP3 or WAV into its page's source
    // field, several into the batch lists of their kind.
    void OpenFiles(const QStringList& files);
    void OpenFiles(const std::vector<std::string>& names);
    void input2edAfterDialog(const QString& name, bool confirmed);

    // Format lists and the remembered settings.
    void mp3formatChange();
    void mp3format2Change();
    void savesetting();
    void ReadSettingsDat();
    QString SettingsDatPath() const;
    // A folder the program was installed into, where it writes nothing.
    static bool InstalledFolder(const QString& folder);
    void SaveStore(bool destroying);
    void RestoreStore();
    // The window moved onto the screen it is on, where it lies off it.
    void KeepOnScreen();
    static std::unique_ptr<QSettings> OpenStore();

    // The tag editor page.
    void OpenBtnClick();
    void FillID3TagInformation(const QString& fileName);
    void OpenTagFile(const std::string& file);
    void SaveBtnClick();
    void ChangeID3Tag(const QString& fileName);
    void edCommentChange();

    void ueberbtnClick();
    void EndeBtnClick();
    void wwwBtnClick();

    QString ProgramFolder;
    bool SyncingFormats = false;
    std::array<TImageButton*, 5> GoButtons{};
    TImageButton* AboutButton = nullptr;
    TImageButton* ExitButton = nullptr;
    TProgressPanel* ProgressPanel = nullptr;
    QLabel* StatusText = nullptr;

    // TJobHost
    void ShowError(const std::string& text) override;
    // Over the progress window while it is up, else (or where asked) over
    // the main window.
    void ShowError(const std::string& text, bool overMainWindow);
    // An information box over the progress window while it is up.
    void ShowNotice(const std::string& text) override;
    void ShowProgress(int filePercent, int overallPercent) override;
    void ProcessMessages() override;
    void ShowStatusText(const std::string& text) override;
    // The line, and its whole text (a batch's every unfinished file) for
    // its tooltip.
    void ShowStatusText(const std::string& text, const std::string& whole);
    // TJobOwner
    void JobFileNames(int mode, std::string& source, std::string& target) override;
    bool CdQualityChecked() override;
    TBatchSettings JobBatch(int mode) override;
    void RunBatch(int mode, const TBatchSettings& batch) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Pictures, colours and fonts; MakeImageButtons gives the image
    // buttons their behaviour, ConnectHandlers wires everything up.
    void BuildDecoration();
    std::array<std::pair<TImagePicture*, QLabel*>, 5> GoPictures() const;
    void MakeImageButtons();
    void MakeListControls();
    void BuildStatusBar();
    void NameControls();
    void ConnectHandlers();
    void FillFormatLists();
    void FillGenreList();
    // The tag page and its fields, where a dropped file opens; true for a
    // drag or drop there, which it has handled.
    QList<QWidget*> TagDropTargets() const;
    bool TagPageDrop(QObject* watched, QEvent* event);
    // The tag page's open or save dialog; empty when cancelled.
    QString PickTagFile(bool save);
    void AddFilesFromDialog(QListWidget* list, bool mp3);
    // A folder chosen in a dialog, with its whole tree, as a dropped one.
    void AddFolderFromDialog(QListWidget* list);
    static void DeleteSelected(QListWidget* list);

    Ui::TMainForm* ui;
    TConverterCore core_;
    TStatusForm* statusForm_ = nullptr;
    bool storeSaved_ = false;
    QElapsedTimer pumpClock_;  // when waiting messages were last let through
    // The progress last reported, and when the screen last showed it.
    void ApplyProgress();
    int pendingFile_ = 0, pendingOverall_ = 0;
    QElapsedTimer progressClock_;
    bool shownOnce_ = false;
    // Shown, and not yet framed by the window manager.
    bool framePending_ = false;
    QString settingsFolder_;
    QString lastTagFile_;
    // How many entries each batch list holds, beside its Go button.
    std::array<QPointer<QLabel>, 2> countLabels_{};
    // Each page's status line (text and tooltip), shown with its page.
    std::array<std::pair<QString, QString>, 4> pageStatus_{};
    void PageChanged(int page);
    // The last opened tag file has an ID3v2 tag: its comment and track are
    // kept whole there, so the ID3v1.1 tag need not choose between them.
    bool tagFileHasId3v2_ = false;
    // The answer for the batch in hand: Replace, Keep or Skip.
    TBatchAnswer batchAnswer_ = TBatchAnswer::Keep;
    TJobNotice jobNotice_;
};

}  // namespace sondrel
