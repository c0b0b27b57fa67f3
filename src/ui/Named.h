#pragma once
// Gives a widget, action or menu its design name (b_Play, cb_Key, ...) as it
// is made, so tests and the help find it with findChild.

#include <QObject>
#include <QString>

namespace korvanta::ui {

template <typename T>
T* named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

} // namespace korvanta::ui
