#include "dialogs/AboutDialog.h"

#include "program/ProgramInfo.h"
#include "ui/WindowFonts.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel *AddLine(QGroupBox *box, const char *name, int line)
{
    constexpr int Margin = 8;
    constexpr int Top = 12; // below the frame's top edge, where a caption would stand
    constexpr int LineHeight = 20;
    auto *label = new QLabel(box);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(Margin, Top + line * LineHeight, box->width() - 2 * Margin, LineHeight);
    return label;
}

} // namespace

AboutDialog::AboutDialog(UrlOpener open, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_open(std::move(open))
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("关于"));
    setFont(WindowFonts::songTi(9));
    setFixedSize(249, 125);

    m_groupBox = new QGroupBox(this);
    m_groupBox->setObjectName(QStringLiteral("AboutGroup"));
    m_groupBox->setGeometry(8, 8, 233, 81);

    m_title = AddLine(m_groupBox, "Label2", 0);
    QFont bold = font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setText(QStringLiteral("澜岑云图"));

    m_version = AddLine(m_groupBox, "LabelVersion", 1);
    setVersion(ProgramInfo::version());

    m_link = AddLine(m_groupBox, "LinkLabel1", 2);
    const QString address = ProgramInfo::makerUrl().toHtmlEscaped();
    m_link->setTextFormat(Qt::RichText);
    m_link->setText(QStringLiteral("&nbsp;").repeated(6) +
                    QStringLiteral("<a href=\"%1\">%1</a>").arg(address));
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_link->setOpenExternalLinks(false);
    connect(m_link, &QLabel::linkActivated, this, &AboutDialog::openLink);

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("ButtonOK"));
    m_ok->setGeometry(87, 95, 75, 25);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    // The box opens with the focus on "确定", so that Enter closes it; Tab
    // still reaches the link.
    setTabOrder(m_ok, m_link);
    m_ok->setFocus();
}

void AboutDialog::setVersion(const QString &version)
{
    m_version->setText(QStringLiteral("版本：Ver%1").arg(version));
}

void AboutDialog::openLink(const QString &link)
{
    // The box stays open; whether a browser came up is not told.
    m_open(QUrl(link));
}

void ShowAboutBox(std::unique_ptr<AboutDialog> &box, const QString &version, const UrlOpener &open)
{
    if (!box)
        box = std::make_unique<AboutDialog>(open);
    box->setVersion(version);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        box->move(screen->availableGeometry().center() - box->rect().center());
    box->exec();
}
