// What the administration dialog tests share: picking an entry of a drop-down
// box through its list as a person does, and the texts of the host's message
// boxes.
#pragma once

#include "fennix/fennix.h"
#include "fennix/testing.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace priv::test {

// Drops the list of `box` down and clicks the entry at `index` (entries
// may bear the same text).
inline ::testing::AssertionResult PickFromList(QComboBox* box, int index)
{
    if (index < 0 || index >= box->count())
        return ::testing::AssertionFailure() << "no entry " << index;
    box->showPopup();
    QAbstractItemView* view = box->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return ::testing::AssertionFailure() << "the list did not drop down";
    const QModelIndex item = view->model()->index(index, box->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (box->view()->isVisible())
        return ::testing::AssertionFailure() << "the list stayed down";
    if (box->currentIndex() != index)
        return ::testing::AssertionFailure()
               << "picked entry " << box->currentIndex() << " instead of " << index;
    return ::testing::AssertionSuccess();
}

// Drops the list of `box` down and clicks the first entry with `text`.
inline ::testing::AssertionResult PickFromList(QComboBox* box, const QString& text)
{
    const int index = box->findText(text, Qt::MatchExactly);
    if (index < 0)
        return ::testing::AssertionFailure() << "no entry " << text.toStdString();
    return PickFromList(box, index);
}

// Types `text` into `widget` key by key. QTest's own typing knows only
// ASCII; Chinese characters arrive as key events that carry just their text,
// as an input method commits them.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (codePoint < 0x80)
            QTest::keyClick(widget, static_cast<char>(codePoint));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, character, Qt::NoModifier);
    }
}

// The texts of the message boxes shown since the last clear, in order.
inline std::vector<std::string> ShownTexts()
{
    std::vector<std::string> texts;
    for (const fennix::ShownMessage& message : fennix::ShownMessages())
        texts.push_back(message.text);
    return texts;
}

// The text of the last message box, empty when none was shown.
inline std::string LastShownText()
{
    const auto messages = fennix::ShownMessages();
    return messages.empty() ? std::string() : messages.back().text;
}

} // namespace priv::test
