#pragma once
// FakeFileDialogs: the open and save dialogs for tests. Each call is recorded;
// answers come from queues the test fills (an empty answer is Cancel, and so
// is an empty queue).

#include "ui/FileDialogs.h"

#include <QStringList>
#include <deque>

namespace korvanta::test {

class FakeFileDialogs final : public ui::FileDialogs {
public:
    struct Call {
        QString start; // folder (open) or suggested file (save)
        QString filter;
        QString defaultSuffix;
    };

    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<Call> openCalls;
    std::vector<Call> saveCalls;

    QString openFileName(QWidget*, const QString& folder, const QString& filter) override {
        openCalls.push_back({folder, filter, {}});
        return next(openAnswers);
    }
    QString saveFileName(QWidget*, const QString& suggested, const QString& filter,
                         const QString& defaultSuffix) override {
        saveCalls.push_back({suggested, filter, defaultSuffix});
        return next(saveAnswers);
    }

private:
    static QString next(std::deque<QString>& answers) {
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace korvanta::test
