// The failures of one batch in one box. A batch of a collection may meet
// a broken file among thousands: a message box a failure would stop the
// batch there until someone clicks, overnight too. This box stays open
// beside the progress window while the batch goes on, its list growing
// with each failure's own message, and the user closes it once; at the
// batch's end it says how the batch ended and names every file that was
// not converted.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace sondrel {

class TFailureBox : public QDialog {
    Q_OBJECT
public:
    explicit TFailureBox(QWidget* parent);

    // A file's failure: shown at once, without waiting for anything; the
    // box comes up again where the user closed it before.
    void Add(const QString& file, const QString& message);
    int Failures() const { return failures_; }
    // The batch is over: the summary on top and every file not converted
    // below the messages. Waits for the user to close the box where it is
    // still open.
    void End(const QString& summary, const QStringList& unfinished);

    QLabel* Heading;
    QPlainTextEdit* List;

private:
    void Heed();
    int failures_ = 0;
};

}  // namespace sondrel
