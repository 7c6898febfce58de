#include "app/HelpCommands.h"
#include "dialogs/AboutDialog.h"
#include "program/Community.h"
#include "program/ProgramInfo.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Recorder
{
    QList<QUrl> opened;
    UrlOpener opener()
    {
        return [this](const QUrl &url) {
            opened.append(url);
            return true;
        };
    }
};

// Shows the box through ShowAboutBox and, once it is up, reads it and closes it.
void ShowAndClose(std::unique_ptr<AboutDialog> &box, const QString &version, const UrlOpener &open,
                  const std::function<void(AboutDialog &)> &whileShown)
{
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(box);
        EXPECT_TRUE(box->isVisible());
        whileShown(*box);
        box->findChild<QPushButton *>(u"ButtonOK"_s)->click();
    });
    ShowAboutBox(box, version, open);
}

TEST(AboutBox, ShowsTitleVersionAndLinkAndIsReused)
{
    Recorder recorder;
    std::unique_ptr<AboutDialog> box;
    QString shownVersion;
    ShowAndClose(box, ProgramInfo::version(), recorder.opener(), [&](AboutDialog &about) {
        shownVersion = about.findChild<QLabel *>(u"LabelVersion"_s)->text();
    });
    EXPECT_EQ(shownVersion, u"版本：Ver2.08"_s);
    EXPECT_FALSE(box->isVisible());

    EXPECT_EQ(box->windowTitle(), u"关于"_s);
    EXPECT_EQ(box->size(), QSize(249, 125));
    EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(box->findChild<QGroupBox *>(u"AboutGroup"_s)->geometry(), QRect(8, 8, 233, 81));
    const QLabel *title = box->findChild<QLabel *>(u"Label2"_s);
    EXPECT_EQ(title->text(), u"澜岑云图"_s);
    EXPECT_TRUE(title->font().bold());
    const QPushButton *ok = box->findChild<QPushButton *>(u"ButtonOK"_s);
    EXPECT_EQ(ok->text(), u"确定"_s);
    EXPECT_EQ(ok->geometry(), QRect(87, 95, 75, 25));

    // The second "关于" shows the same box, its version line set anew.
    AboutDialog *first = box.get();
    box->setVersion(u"0"_s);
    ShowAndClose(box, ProgramInfo::version(), recorder.opener(), [&](AboutDialog &about) {
        shownVersion = about.findChild<QLabel *>(u"LabelVersion"_s)->text();
    });
    EXPECT_EQ(box.get(), first);
    EXPECT_EQ(shownVersion, u"版本：Ver2.08"_s);
    EXPECT_TRUE(recorder.opened.isEmpty());
}

TEST(AboutBox, LinkOpensTheMakersAddressAndTheBoxStaysOpen)
{
    Recorder recorder;
    std::unique_ptr<AboutDialog> box;
    bool openAfterClick = false;
    ShowAndClose(box, ProgramInfo::version(), recorder.opener(), [&](AboutDialog &about) {
        QLabel *link = about.findChild<QLabel *>(u"LinkLabel1"_s);
        EXPECT_TRUE(link->text().contains(u">"_s + ProgramInfo::makerUrl() + u"</a>"_s));
        const QString target = QRegularExpression(u"href=\"([^\"]*)\""_s).match(link->text()).captured(1);
        EXPECT_EQ(target, ProgramInfo::makerUrl());
        emit link->linkActivated(target);
        openAfterClick = about.isVisible();
    });
    EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl(ProgramInfo::makerUrl())});
    EXPECT_TRUE(openAfterClick);
}

TEST(AboutBox, EnterClosesTheBoxAndOpensNothing)
{
    Recorder recorder;
    std::unique_ptr<AboutDialog> box;
    bool closedByEnter = false;
    ShowAndClose(box, ProgramInfo::version(), recorder.opener(), [&](AboutDialog &about) {
        QWidget *focus = about.focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_Return);
        closedByEnter = !about.isVisible();
    });
    EXPECT_TRUE(closedByEnter);
    EXPECT_TRUE(recorder.opened.isEmpty());
}

TEST(HelpCommands, ManualBesideTheProgramIsOpenedWhenThereIsOne)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    Recorder recorder;
    EXPECT_FALSE(OpenManual(folder.path(), recorder.opener()));
    EXPECT_TRUE(recorder.opened.isEmpty());

    for (const QString &name : {u"软件说明书V2.PDF"_s, u"软件说明书.pdf"_s}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(OpenManual(folder.path(), recorder.opener()));
    EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(folder.filePath(u"软件说明书.pdf"_s))});
}

TEST(HelpCommands, CommunityItemOpensTheCommunityPage)
{
    // Without a configured group there is no number to show; without a
    // configured page the item leads to the maker's own site.
    EXPECT_EQ(Community::offered(), !Community::groupNumber().isEmpty());
    EXPECT_EQ(Community::menuCaption(), u"加Q群"_s + Community::groupNumber());
    EXPECT_TRUE(
        Community::pageUrl() == QStringLiteral(PLUVION_COMMUNITY_URL) ||
        (QStringLiteral(PLUVION_COMMUNITY_URL).isEmpty() && Community::pageUrl() == ProgramInfo::makerUrl()));
    Recorder recorder;
    OpenCommunityPage(recorder.opener());
    EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl(Community::pageUrl())});
}

} // namespace
