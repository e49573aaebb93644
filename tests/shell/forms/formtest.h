#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>
#include <chrono>
#include <functional>

// The child of form called name, failing the test when there is none.
template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

inline QString LabelText(QWidget& form, const char* name) {
    QLabel* label = Child<QLabel>(form, name);
    return label ? label->text() : "<missing " + QString(name) + ">";
}

// Serves events until done() holds or limit has passed; tells whether done() held.
inline bool ServeEventsUntil(const std::function<bool()>& done,
                             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
