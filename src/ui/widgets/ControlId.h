#pragma once
#include <QObject>
#include <QString>

// Widgets and actions carry their numeric id as object name ("1045") and as the
// "controlId" property, so that code and tests find them by number.
inline void SetControlId(QObject *object, int id)
{
    object->setObjectName(QString::number(id));
    object->setProperty("controlId", id);
}

inline int ControlIdOf(const QObject *object)
{
    return object ? object->property("controlId").toInt() : 0;
}

template <typename T>
T *FindControl(const QObject *parent, int id)
{
    return parent->findChild<T *>(QString::number(id));
}
