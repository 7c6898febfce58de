#pragma once

#include "ui/UrlOpener.h"

#include <QDialog>
#include <QString>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;

// The About box: the product title, the version and the maker's web address
// as a link. Its controls carry their names as object names ("AboutGroup",
// "Label2", "LabelVersion", "LinkLabel1", "ButtonOK").
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(UrlOpener open = DesktopUrlOpener(), QWidget *parent = nullptr);

    // The version line: "版本：Ver<version>".
    void setVersion(const QString &version);

private:
    void openLink(const QString &link);

    UrlOpener m_open;
    QGroupBox *m_groupBox = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_link = nullptr;
    QPushButton *m_ok = nullptr;
};

// "关于": creates the box in `box` on first use (it then lives as long as its
// holder, the main window, and is reused by every later call), sets its
// version line, centres it on the screen and shows it modally. `open` serves
// the link of a box created by this call.
void ShowAboutBox(std::unique_ptr<AboutDialog> &box, const QString &version,
                  const UrlOpener &open = DesktopUrlOpener());
