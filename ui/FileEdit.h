// File and folder fields: a single-line edit with a browse button beside
// it. Files dropped from a file manager land in the field as well.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <string>

namespace sondrel {

class TFileEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString filter READ filter WRITE setFilter)
    Q_PROPERTY(QString defaultExt READ defaultExt WRITE setDefaultExt)
    Q_PROPERTY(bool saveDialog READ saveDialog WRITE setSaveDialog)
    Q_PROPERTY(bool directory READ directory WRITE setDirectory)
public:
    explicit TFileEdit(QWidget* parent = nullptr);

    QString fileName() const { return edit_->text(); }
    void setFileName(const QString& name) { edit_->setText(name); }
    // The name as the file system's bytes (ui/FileNames.h): those it was
    // given (a drop, setFilePath) while the text shows them, else the file
    // the text shows.
    std::string filePath() const;
    void setFilePath(const std::string& path);
    QLineEdit* lineEdit() const { return edit_; }
    QToolButton* browseButton() const { return button_; }

    // "Description|*.ext|Description|*.*" as the file types of the dialog.
    QString filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    QString defaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& ext) { defaultExt_ = ext; }
    bool saveDialog() const { return save_; }
    void setSaveDialog(bool save) { save_ = save; }
    // A folder field: the button chooses a folder.
    bool directory() const { return directory_; }
    void setDirectory(bool directory) { directory_ = directory; }

    // A save field whose name the user chose in its dialog, which has asked
    // already whether an existing file may be replaced; false once the name
    // is changed by any other way.
    bool replaceConfirmed() const { return save_ && !confirmed_.isEmpty() && confirmed_ == fileName(); }

    // The dialog's file types in Qt's notation.
    static QString QtFilter(const QString& filter);

public slots:
    void browse();

signals:
    // After every close of the browse dialog: the chosen name when
    // confirmed, otherwise the field's name as it was.
    void afterDialog(const QString& name, bool confirmed);
    void fileDropped(const QString& name);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    QToolButton* button_;
    QString filter_;
    QString defaultExt_;
    bool save_ = false;
    bool directory_ = false;
    QString confirmed_;  // the name last accepted in the save dialog
    std::string path_;   // the bytes of the name shown as pathShown_
    QString pathShown_;
};

}  // namespace sondrel
