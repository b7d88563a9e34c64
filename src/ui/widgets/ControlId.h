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

// The widget, given its id: for building a dialog in one expression per control.
template <typename W>
W *WithControlId(W *widget, int id)
{
    SetControlId(widget, id);
    return widget;
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
