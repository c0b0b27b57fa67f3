#pragma once
// MessageBoxSink: the desktop program's MessageSink, one modal QMessageBox per
// message, parented to the main window. Lines of a text arrive separated by
// "\n\r"; a message box wants plain line feeds, so the carriage returns go.

#include "messages/MessageSink.h"

class QWidget;

namespace korvanta::ui {

class MessageBoxSink final : public MessageSink {
public:
    explicit MessageBoxSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void error(std::string_view text, std::string_view caption) override;
    void warning(std::string_view text, std::string_view caption) override;
    MessageAnswer confirm(std::string_view text, std::string_view caption) override;
    void info(std::string_view text, std::string_view caption) override;

private:
    QWidget* m_parent;
};

} // namespace korvanta::ui
