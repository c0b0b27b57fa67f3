#pragma once
// The window of korvanta-style-import: choose a styles folder and a pattern
// file, adjust name, group, channel, octave, instrument, meters and bars, see
// how every note was understood, and write the style into the library. The
// conversion and the writing are the Qt-free PatternImport functions; this
// only gathers the choices and shows the results.

#include "PatternImport.h"
#include "messages/MessageSink.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace korvanta::styleimport {

class ImportWindow : public QWidget {
public:
    explicit ImportWindow(const QString& folder = {}, QWidget* parent = nullptr);

    // Reads a pattern file and fills the choices from it; false (after
    // reporting why) when it cannot be read.
    bool loadSource(const QString& file);
    // The "Write style" button: converts with the current choices and adds the
    // style to the folder's library. False (after reporting why) on failure.
    bool writeStyle();

    QString statusText() const;
    const Conversion& conversion() const { return m_conversion; }
    // Errors are also shown as messages: in a message box unless another sink
    // (a test's) is given; the sink must outlive the window.
    void setMessageSink(MessageSink& sink) { m_messages = &sink; }

    // The meters offered as check boxes besides the pattern's own.
    static const std::vector<Meter>& offeredMeters();

private:
    void chooseFolder();
    void chooseSource();
    void refresh();
    void fillInstruments();
    void rebuildMeterBoxes(const std::vector<Meter>& checked);
    void limitMeterBoxes();
    void updateOctaveHint();
    ImportOptions currentOptions() const;
    void report(const QString& text, bool error);

    QLineEdit* m_folder = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QComboBox* m_channel = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_group = nullptr;
    QSpinBox* m_octave = nullptr;
    QLabel* m_octaveHint = nullptr;
    QComboBox* m_program = nullptr;
    QHBoxLayout* m_meterRow = nullptr;
    std::vector<std::pair<Meter, QCheckBox*>> m_meterBoxes;
    QSpinBox* m_bars = nullptr;
    QCheckBox* m_replace = nullptr;
    QTableWidget* m_table = nullptr;
    QPushButton* m_write = nullptr;
    QLabel* m_status = nullptr;

    std::optional<PatternSource> m_source;
    Conversion m_conversion;
    // Shows errors in a warning box over this window.
    class BoxSink final : public MessageSink {
    public:
        explicit BoxSink(QWidget& owner) : m_owner(owner) {}
        void error(std::string_view text, std::string_view caption) override;
        void warning(std::string_view text, std::string_view caption) override;
        MessageAnswer confirm(std::string_view text, std::string_view caption) override;
        void info(std::string_view text, std::string_view caption) override;

    private:
        QWidget& m_owner;
    };
    BoxSink m_boxSink{*this};
    MessageSink* m_messages = &m_boxSink;
    bool m_filling = false; // choices are being set from a source: no refresh per widget
};

// Runs the window as the program's main loop; returns the exit code.
int runImportWindow(int& argc, char** argv, const std::string& folder);

} // namespace korvanta::styleimport
