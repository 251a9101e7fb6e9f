#pragma once

// Finders and readers the window tests of editing, transfer and tools share.

#include "tests/support/WindowTestTools.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace qv::test {

// The child of that object name; fails the test when there is none.
template <class T = QWidget> T* child(const QObject* parent, const char* name)
{
    T* c = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

inline QStringList itemTexts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
inline QStringList itemTexts(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

inline QString cell(const QAbstractItemModel* model, int row, int column = 0)
{
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

// Clicks the button of that name in the next modal window once it is up.
inline void clickInModal(const char* button)
{
    whenModalOpens([button](QWidget* w) {
        if (auto* b = w->findChild<QPushButton*>(button))
            b->click();
    });
}

} // namespace qv::test
