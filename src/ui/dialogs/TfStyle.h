#pragma once
// The style dialog ("Styles of instrumental accompaniments"): every style of
// the library's piano and guitar groups as a thumbnail, in sections by beats
// per bar, the ones that do not fit the song's meter in grey. A click plays
// the style's demonstration once the double-click time has passed without a
// second click; a double click or a right click chooses it (or clears the
// choice when it was chosen). Import starts the import tool, Reload reads the
// library again.
//
// The main window creates it once after loading the library, which it keeps
// owning, and shows it modally. GUI thread only.

#include "messages/MessageSink.h"
#include "styles/StyleLibrary.h"

#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;
class QTabWidget;
class QTimer;

namespace korvanta::ui {

class StyleThumbnail;

class TfStyle : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClickMs = 300;
    static constexpr int kPageCount = 2; // piano and guitar; group 2 has no page
    static constexpr int kPageWidth = 520;
    static constexpr int kLabelHeight = 18;
    static constexpr int kSpacing = 4;
    static constexpr int kLineStep = 40;

    TfStyle(StyleLibrary& library, MessageSink& messages, QWidget* parent = nullptr);

    void setStylesFolder(const QString& folder);
    // Shows Import and Reload only when the tool is a readable file.
    void setImportTool(const QString& path);
    void setSongMeter(int numerator, int denominator);
    // Plays a demonstration and returns soon; may be empty.
    void setAudition(std::function<void(const StyleRecord&)> audition);

    std::int32_t chosenStyle() const { return m_chosen; }
    // Makes a loaded style the chosen one; anything else is ignored.
    void selectById(std::int32_t id);
    std::int32_t lastChosen() const { return m_lastChosen; }
    void setLastChosen(std::int32_t id) { m_lastChosen = id; }

    // The main window's style switch: the style's thumbnail in fitting
    // colours outlined green (on) or grey (off); null for an unknown style.
    QPixmap thumbnail(std::int32_t id, bool on) const;

    // Builds the pages afresh (as exec() does), turning to the chosen style.
    void buildPages();
    int exec() override;

    // What the click timer does when it runs out: the first click stood
    // alone, so the style is auditioned.
    void clickSITimerTimer();

signals:
    void libraryReloaded();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void thumbnailPressed(StyleThumbnail* thumbnail, Qt::MouseButton button);
    void choose(StyleThumbnail* thumbnail);
    // The outline it has without a click pending: green when chosen.
    void restoreOutline(StyleThumbnail* thumbnail);
    StyleThumbnail* thumbnailOf(std::int32_t id) const;
    QWidget* buildPage(int group);
    void importStyle();
    void reloadStyles();

    StyleLibrary& m_library;
    MessageSink& m_messages;
    QTabWidget* m_pages;
    QTimer* m_clickTimer;
    QPushButton* m_import;
    QPushButton* m_reload;
    QString m_stylesFolder;
    QString m_importTool;
    int m_numerator = 4;
    int m_denominator = 4;
    std::function<void(const StyleRecord&)> m_audition;
    std::int32_t m_chosen = kNoStyle;
    std::int32_t m_lastChosen = kNoStyle;
    std::vector<StyleThumbnail*> m_thumbnails; // of the pages built last
    QPointer<StyleThumbnail> m_clicked;        // the first click, while the timer runs
    std::int32_t m_clickedId = kNoStyle;
    bool m_busy = false; // a demonstration is being started
};

} // namespace korvanta::ui
