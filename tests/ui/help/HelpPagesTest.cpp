// The help pages as shipped in data/help: every topic has its page, the
// contents page leads to all of them, every link and picture of every page
// is there (anchors included), and the pictures stay small.

#include "ui/help/HelpTopics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

namespace korvanta::ui {
namespace {

const QDir kHelp(QStringLiteral(KORVANTA_DATA_DIR "/help"));

QString pageText(const QString& file) {
    QFile page(kHelp.filePath(file));
    if (!page.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(page.readAll());
}

QStringList pages() {
    return kHelp.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

// The targets of a page's href and src attributes, as written.
QStringList linksOf(const QString& html) {
    static const QRegularExpression link(
        QStringLiteral(R"re((?:href|src)\s*=\s*(?:"([^"]*)"|'([^']*)'))re"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList links;
    for (auto it = link.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        links << (m.capturedLength(1) > 0 ? m.captured(1) : m.captured(2));
    }
    return links;
}

bool hasAnchor(const QString& html, const QString& name) {
    const QRegularExpression anchor(QStringLiteral(R"re((?:name|id)\s*=\s*["']%1["'])re")
                                        .arg(QRegularExpression::escape(name)));
    return anchor.match(html).hasMatch();
}

bool external(const QUrl& url) {
    return !url.scheme().isEmpty() && url.scheme() != QLatin1String("file");
}

TEST(HelpPages, EveryTopicHasAPageAndEveryPageIsATopic) {
    ASSERT_TRUE(kHelp.exists()) << kHelp.path().toStdString();
    QSet<QString> topicFiles;
    for (const HelpTopic& topic : helpTopics()) {
        const QString file = QLatin1String(topic.file);
        EXPECT_TRUE(QFileInfo(kHelp.filePath(file)).isFile()) << topic.file;
        topicFiles.insert(file);
    }
    for (const QString& page : pages())
        EXPECT_TRUE(topicFiles.contains(page)) << page.toStdString() << " belongs to no topic";
}

TEST(HelpPages, TheContentsLeadToEveryTopic) {
    const QString index = pageText(helpTopicFile(kHelpContents));
    ASSERT_FALSE(index.isEmpty());
    QSet<QString> linked;
    for (const QString& link : linksOf(index))
        linked.insert(QUrl(link).path());
    for (const HelpTopic& topic : helpTopics()) {
        if (topic.context == kHelpContents) continue;
        EXPECT_TRUE(linked.contains(QLatin1String(topic.file))) << topic.file;
    }
}

TEST(HelpPages, EveryLinkAndPictureOfEveryPageIsThere) {
    const QStringList all = pages();
    ASSERT_FALSE(all.isEmpty());
    int checked = 0;
    for (const QString& page : all) {
        const QString html = pageText(page);
        for (const QString& link : linksOf(html)) {
            const QUrl url(link);
            const std::string where = (page + QStringLiteral(": ") + link).toStdString();
            ASSERT_TRUE(url.isValid()) << where;
            if (external(url)) {
                EXPECT_TRUE(url.scheme() == QLatin1String("https") ||
                            url.scheme() == QLatin1String("http") ||
                            url.scheme() == QLatin1String("mailto"))
                    << where;
                continue;
            }
            EXPECT_FALSE(url.path().startsWith(QLatin1Char('/'))) << where << " is absolute";
            const QString target = url.path().isEmpty() ? page : url.path();
            const QFileInfo file(kHelp.filePath(target));
            EXPECT_TRUE(file.isFile()) << where;
            // Nothing outside the help folder.
            EXPECT_TRUE(file.canonicalFilePath().startsWith(kHelp.canonicalPath() + '/')) << where;
            if (url.hasFragment()) {
                EXPECT_TRUE(hasAnchor(pageText(target), url.fragment())) << where;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST(HelpPages, PagesAreRichTextWithATitle) {
    for (const QString& page : pages()) {
        const QString html = pageText(page);
        QTextDocument document;
        document.setHtml(html);
        EXPECT_FALSE(document.metaInformation(QTextDocument::DocumentTitle).isEmpty())
            << page.toStdString();
        EXPECT_GT(document.toPlainText().size(), 200) << page.toStdString();
        // The browser runs no scripts and loads no frames.
        EXPECT_FALSE(html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        EXPECT_FALSE(html.contains(QStringLiteral("<iframe"), Qt::CaseInsensitive));
    }
}

TEST(HelpPages, PicturesAreSmallPngsThatSomePageShows) {
    QSet<QString> shown;
    for (const QString& page : pages())
        for (const QString& link : linksOf(pageText(page)))
            if (link.startsWith(QLatin1String("images/"))) shown.insert(link);

    const QDir images(kHelp.filePath(QStringLiteral("images")));
    const QStringList files = images.entryList(QDir::Files, QDir::Name);
    EXPECT_GE(files.size(), 8);
    for (const QString& name : files) {
        const std::string file = name.toStdString();
        const QFileInfo info(images.filePath(name));
        EXPECT_LT(info.size(), 120 * 1024) << file;
        QImageReader reader(info.filePath());
        EXPECT_EQ(reader.format(), QByteArray("png")) << file;
        const QSize size = reader.size();
        EXPECT_GT(size.width(), 0) << file;
        EXPECT_LE(size.width(), 800) << file;
        EXPECT_TRUE(shown.contains(QStringLiteral("images/") + name)) << file << " is unused";
    }
}

} // namespace
} // namespace korvanta::ui
