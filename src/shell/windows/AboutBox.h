#pragma once

#include <QDialog>

class QLabel;

namespace tav::shell {

// "Acerca de TAV Regional": product name and the version shown in the main window.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget *parent = nullptr);
    // The version text is copied from the main window each time the box is shown.
    void setVersionText(const QString &text);

private:
    QLabel *m_version;
};

} // namespace tav::shell
