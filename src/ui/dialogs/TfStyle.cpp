#include "ui/dialogs/TfStyle.h"

#include "ui/dialogs/StyleThumbnail.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <string>

namespace korvanta::ui {

namespace {

const char* const kCaption = "Styles of instrumental accompaniments";
const char* const kCantApplyText = "   Can't apply selected style   ";
const char* const kWarningCaption = "Warning";
const char* const kErrorCaption = "Error";
const char* const kImportFailedText = "The style import tool could not be started.";
const char* const kReloadFailedText = "The styles list could not be read.";
// Name, beats per bar and meter; "\n\r" is the house line break.
const char* const kHintFormat = " %1\n\r %2 beats per bar\n\r Meter %3/%4";
const char* const kPageNames[TfStyle::kPageCount] = {"Piano", "Guitar"};

constexpr int kMargin = 6; // the left column's x, and the first section's top
// A thumbnail's step along a line, and the gap under a section's last line.
constexpr int kThumbnailStep = StyleThumbnail::kWidth + TfStyle::kSpacing;
constexpr int kSectionGap = 8;

QString hintOf(const LoadedStyle& style) {
    // All at once: a name holding "%2" stays as it is.
    return QString::fromLatin1(kHintFormat)
        .arg(QString::fromStdString(style.entry.name), QString::number(style.style.beatsPerBar()),
             QString::number(style.style.numerator()), QString::number(style.style.denominator()))
        .replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
}

} // namespace

TfStyle::TfStyle(StyleLibrary& library, MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_library(library), m_messages(messages), m_pages(new QTabWidget(this)),
      m_clickTimer(new QTimer(this)), m_import(new QPushButton(QStringLiteral("Import"), this)),
      m_reload(new QPushButton(QStringLiteral("Reload"), this)) {
    setObjectName(QStringLiteral("TfStyle"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setHelpContext(this, kHelpStyleDialog);
    m_pages->setObjectName(QStringLiteral("pgc_Styles"));
    m_clickTimer->setObjectName(QStringLiteral("clickSITimer"));
    m_clickTimer->setSingleShot(true);
    m_clickTimer->setInterval(kClickMs);
    connect(m_clickTimer, &QTimer::timeout, this, &TfStyle::clickSITimerTimer);

    m_import->setObjectName(QStringLiteral("b_Import"));
    m_import->setToolTip(QStringLiteral("Import style from midi file"));
    m_reload->setObjectName(QStringLiteral("b_Reload"));
    m_reload->setToolTip(QStringLiteral("Reload styles list"));
    m_import->setVisible(false);
    m_reload->setVisible(false);
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("b_Help"));
    connectHelpButton(help, kHelpStyleDialog);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("b_Ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("b_Cancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_import, &QPushButton::clicked, this, &TfStyle::importStyle);
    connect(m_reload, &QPushButton::clicked, this, &TfStyle::reloadStyles);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_import);
    buttons->addWidget(m_reload);
    buttons->addStretch(1);
    buttons->addWidget(help);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    // The pages are laid out for kPageWidth; room for the frame and a scroll bar.
    m_pages->setMinimumSize(kPageWidth + 40, 320);
}

void TfStyle::setStylesFolder(const QString& folder) {
    m_stylesFolder = folder;
}

void TfStyle::setImportTool(const QString& path) {
    m_importTool = path;
    const QFileInfo tool(path);
    const bool usable = !path.isEmpty() && tool.isFile() && tool.isReadable();
    m_import->setVisible(usable);
    m_reload->setVisible(usable);
}

void TfStyle::setSongMeter(int numerator, int denominator) {
    m_numerator = numerator;
    m_denominator = denominator;
}

void TfStyle::setAudition(std::function<void(const StyleRecord&)> audition) {
    m_audition = std::move(audition);
}

void TfStyle::selectById(std::int32_t id) {
    if (!m_library.loaded() || id < 0 || !m_library.byId(id)) return;
    StyleThumbnail* old = thumbnailOf(m_chosen);
    m_chosen = id;
    if (old) restoreOutline(old);
    if (StyleThumbnail* chosen = thumbnailOf(id)) restoreOutline(chosen);
}

QPixmap TfStyle::thumbnail(std::int32_t id, bool on) const {
    const LoadedStyle* style = m_library.byId(id);
    if (!style) return {};
    StyleColours colours = on ? StyleThumbnail::fittingColours() : StyleThumbnail::greyColours();
    if (on) colours.outline = StyleThumbnail::chosenOutline();
    return StyleThumbnail::draw(style->style, colours);
}

int TfStyle::exec() {
    buildPages();
    return QDialog::exec();
}

void TfStyle::buildPages() {
    // The old thumbnails go: nothing may point at them any more.
    m_clickTimer->stop();
    m_clicked = nullptr;
    m_thumbnails.clear();
    const int current = m_pages->currentIndex();
    while (m_pages->count() > 0) {
        QWidget* page = m_pages->widget(0);
        m_pages->removeTab(0);
        delete page;
    }
    for (int g = 0; g < kPageCount; ++g)
        m_pages->addTab(buildPage(g), QString::fromLatin1(kPageNames[g]));
    const int chosenGroup = m_chosen >= 0 ? styleGroupOf(m_chosen) : -1;
    if (chosenGroup >= 0 && chosenGroup < kPageCount)
        m_pages->setCurrentIndex(chosenGroup);
    else if (current >= 0)
        m_pages->setCurrentIndex(current);
}

QWidget* TfStyle::buildPage(int group) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QString::fromLatin1(kPageNames[group]));
    auto* content = new QWidget;
    const std::vector<LoadedStyle>& styles = m_library.group(group);

    // One section per beats value that occurs, in ascending order.
    std::set<int> beatsValues;
    for (const LoadedStyle& style : styles)
        beatsValues.insert(style.style.beatsPerBar());

    const int w = kPageWidth;
    int top = kMargin;  // the next section's label
    int lowestRow = -1; // the top of the lowest thumbnail line so far
    bool right = false; // sections alternate between the columns
    for (const int beats : beatsValues) {
        const int columnX = right ? w / 2 + kMargin : kMargin;
        const int wrapX = right ? w / 2 + 2 * kMargin : kMargin;
        const int limit = right ? w : w / 2;
        auto* label =
            new QLabel(QString::number(beats) + QStringLiteral(" beats per bar"), content);
        label->setObjectName(QStringLiteral("l_Stl%1_%2").arg(group).arg(beats));
        label->move(columnX, top);
        label->adjustSize();

        int x = columnX;
        int rowTop = top + kLabelHeight;
        bool first = true;
        for (std::size_t i = 0; i < styles.size(); ++i) {
            const LoadedStyle& style = styles[i];
            if (style.style.beatsPerBar() != beats) continue;
            if (!first && x + StyleThumbnail::kWidth > limit) {
                x = wrapX;
                rowTop += kLineStep;
            }
            first = false;
            const std::int32_t id = styleId(group, static_cast<int>(i));
            auto* thumbnail = new StyleThumbnail(
                style.style, id, styleFitsMeter(style.style, m_numerator, m_denominator), content);
            thumbnail->setObjectName(QString::fromStdString(style.entry.name));
            thumbnail->setToolTip(hintOf(style));
            thumbnail->move(x, rowTop);
            if (id == m_chosen) thumbnail->setOutline(StyleThumbnail::chosenOutline());
            connect(thumbnail, &StyleThumbnail::pressed, this, &TfStyle::thumbnailPressed);
            m_thumbnails.push_back(thumbnail);
            lowestRow = std::max(lowestRow, rowTop);
            x += kThumbnailStep;
        }
        if (right) top = lowestRow + StyleThumbnail::kHeight + kSectionGap;
        right = !right;
    }
    const int height = lowestRow < 0 ? kMargin : lowestRow + StyleThumbnail::kHeight + kSectionGap;
    content->setFixedSize(w, height);
    scroll->setWidget(content);
    return scroll;
}

StyleThumbnail* TfStyle::thumbnailOf(std::int32_t id) const {
    if (id < 0) return nullptr;
    for (StyleThumbnail* thumbnail : m_thumbnails)
        if (thumbnail->styleId() == id) return thumbnail;
    return nullptr;
}

void TfStyle::restoreOutline(StyleThumbnail* thumbnail) {
    thumbnail->setOutline(thumbnail->styleId() == m_chosen ? StyleThumbnail::chosenOutline()
                                                           : thumbnail->normalOutline());
}

void TfStyle::thumbnailPressed(StyleThumbnail* thumbnail, Qt::MouseButton button) {
    if (m_busy) return;
    if (button == Qt::RightButton) {
        choose(thumbnail);
        return;
    }
    if (button != Qt::LeftButton) return;
    if (m_clickTimer->isActive()) {
        // A second click on the same style is a double click; on another
        // one it is too quick to mean anything.
        if (thumbnail == m_clicked) choose(thumbnail);
        return;
    }
    m_clicked = thumbnail;
    m_clickedId = thumbnail->styleId();
    thumbnail->setOutline(StyleThumbnail::firstClickOutline());
    m_clickTimer->start();
}

void TfStyle::clickSITimerTimer() {
    m_clickTimer->stop();
    StyleThumbnail* thumbnail = m_clicked;
    m_clicked = nullptr;
    if (!thumbnail) return;
    m_busy = true;
    if (m_audition) {
        if (const LoadedStyle* style = m_library.byId(m_clickedId)) m_audition(style->style);
    }
    m_busy = false;
    restoreOutline(thumbnail);
}

void TfStyle::choose(StyleThumbnail* thumbnail) {
    m_clickTimer->stop();
    StyleThumbnail* pending = m_clicked;
    m_clicked = nullptr;
    if (pending && pending != thumbnail) restoreOutline(pending);
    if (!thumbnail->fits()) {
        thumbnail->setOutline(StyleThumbnail::greyColours().outline);
        m_messages.warning(kCantApplyText, kWarningCaption);
        return;
    }
    const std::int32_t id = thumbnail->styleId();
    if (id == m_chosen) {
        m_chosen = kNoStyle;
        restoreOutline(thumbnail);
        return;
    }
    StyleThumbnail* old = thumbnailOf(m_chosen);
    m_chosen = id;
    if (old) restoreOutline(old);
    restoreOutline(thumbnail);
}

void TfStyle::importStyle() {
    if (!QProcess::startDetached(m_importTool, {m_stylesFolder}))
        m_messages.error(kImportFailedText, kErrorCaption);
}

void TfStyle::reloadStyles() {
    m_clickTimer->stop();
    m_clicked = nullptr;
    m_library.unload();
    const StyleLibraryStatus status =
        m_library.load(QFile::encodeName(m_stylesFolder).toStdString());
    if (status != StyleLibraryStatus::Loaded) {
        const std::string& why = m_library.error();
        m_messages.error(why.empty() ? std::string(kReloadFailedText) : why, kErrorCaption);
    }
    m_chosen = kNoStyle;
    buildPages();
    emit libraryReloaded();
}

void TfStyle::hideEvent(QHideEvent* event) {
    // A pending click dies with the window: its timer must not run into
    // thumbnails that the next showing replaces.
    m_clickTimer->stop();
    if (StyleThumbnail* pending = m_clicked) restoreOutline(pending);
    m_clicked = nullptr;
    QDialog::hideEvent(event);
}

} // namespace korvanta::ui
