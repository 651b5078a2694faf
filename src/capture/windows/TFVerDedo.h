#pragma once

#include <QDialog>

class QLabel;

namespace tav::capture {

// The single-finger viewer of live-scan capture: the finger image with a 5-pixel margin; Escape closes it.
// Caller: TFVerDedo viewer(bmpFile, caption); viewer.exec().
class TFVerDedo : public QDialog
{
    Q_OBJECT
public:
    TFVerDedo(const QString &bmpFile, const QString &caption, QWidget *parent = nullptr);

    bool hasImage() const;
    QLabel *imageLabel() const { return m_label; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    QLabel *m_label;
};

} // namespace tav::capture
