#include "ui/FileEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>
#include <filesystem>

#include "ui/FileNames.h"

namespace sondrel {

TFileEdit::TFileEdit(QWidget* parent) : QWidget(parent), edit_(new QLineEdit(this)), button_(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    button_->setText(QStringLiteral("…"));
    button_->setToolTip(tr("Durchsuchen..."));
    // Reached by Tab (after the edit), not by a mouse click.
    button_->setFocusPolicy(Qt::TabFocus);
    button_->setFixedWidth(22);
    setFocusProxy(edit_);
    setAcceptDrops(true);
    edit_->installEventFilter(this);
    // The dialog opens once the click has returned: a press through the
    // accessibility bus gets its answer at once, not when the modal dialog
    // closes.
    connect(button_, &QToolButton::clicked, this, &TFileEdit::browse, Qt::QueuedConnection);
    // Any change after the dialog makes the name one the dialog never
    // asked about.
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != confirmed_) confirmed_.clear();
    });
}

std::string TFileEdit::filePath() const {
    const QString text = fileName();
    return !pathShown_.isEmpty() && text == pathShown_ ? path_ : LocalPath(text);
}

void TFileEdit::setFilePath(const std::string& path) {
    pathShown_ = ShownPath(path);
    path_ = path;
    setFileName(pathShown_);
}

QString TFileEdit::QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        if (!description.contains('(')) description += " (" + patterns + ")";
        out << description;
    }
    return out.join(";;");
}

void TFileEdit::browse() {
    const QString current = fileName().trimmed();
    QString chosen;
    if (directory_) {
        chosen = QFileDialog::getExistingDirectory(this, QString(), current);
    } else {
        QFileDialog dialog(this);
        dialog.setNameFilter(QtFilter(filter_));
        dialog.setDefaultSuffix(defaultExt_);
        dialog.setAcceptMode(save_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!current.isEmpty()) dialog.selectFile(current);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first();
    }
    const bool confirmed = !chosen.isEmpty();
    if (confirmed) {
        setFileName(QDir::toNativeSeparators(chosen));
        confirmed_ = fileName();
    }
    emit afterDialog(confirmed ? fileName() : current, confirmed);
}

bool TFileEdit::eventFilter(QObject* watched, QEvent* event) {
    // The edit would take a dropped file as text; the field takes it whole.
    if (watched == edit_ && event->type() == QEvent::DragEnter) {
        dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    }
    if (watched == edit_ && event->type() == QEvent::Drop) {
        dropEvent(static_cast<QDropEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFileEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFileEdit::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    const std::string path = DroppedPath(urls.first());
    std::error_code ec;
    if (directory_ && !std::filesystem::is_directory(path, ec)) return;
    setFilePath(path);
    event->acceptProposedAction();
    emit fileDropped(fileName());
}

}  // namespace sondrel
