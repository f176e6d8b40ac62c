#include "app/FailureBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "jobs/Messages.h"

namespace sondrel {

TFailureBox::TFailureBox(QWidget* parent) : QDialog(parent) {
    setObjectName("FailureBox");
    setWindowTitle(QString::fromStdString(msg::ErrorCaption));
    // Beside the progress window, never in its way: the batch goes on.
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    top->addWidget(icon, 0, Qt::AlignTop);
    Heading = new QLabel(this);
    Heading->setWordWrap(true);
    Heading->setObjectName("FailureHeading");
    top->addWidget(Heading, 1);
    layout->addLayout(top);
    List = new QPlainTextEdit(this);
    List->setObjectName("FailureList");
    List->setReadOnly(true);
    List->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    List->setAccessibleName(QStringLiteral("Fehlgeschlagene Dateien"));
    layout->addWidget(List);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(520, 260);
}

void TFailureBox::Add(const QString& file, const QString& message) {
    ++failures_;
    Heading->setText(failures_ == 1 ? QStringLiteral("Eine Datei konnte nicht konvertiert werden:")
                                    : QStringLiteral("%1 Dateien konnten nicht konvertiert werden:")
                                          .arg(QString::fromStdString(msg::Count(failures_))));
    List->appendPlainText(file + QStringLiteral(": ") + message);
    Heed();
}

void TFailureBox::End(const QString& summary, const QStringList& unfinished) {
    Heading->setText(summary);
    if (!unfinished.isEmpty()) List->appendPlainText(QStringLiteral("\nNicht fertig:\n") + unfinished.join('\n'));
    // Still open: the user reads it before the progress window goes.
    if (!isVisible()) return;
    hide();
    exec();
}

void TFailureBox::Heed() {
    if (isVisible()) return;
    show();
    raise();
}

}  // namespace sondrel
