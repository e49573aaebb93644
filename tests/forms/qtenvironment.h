#pragma once

#include <gtest/gtest.h>

#include <QApplication>

// One application object for every form test of the program, made on first use and
// removed when all tests have run.
class TQtEnvironment : public testing::Environment {
  public:
    static QApplication& App() {
        if (!Instance) {
            static int argc = 1;
            static char name[] = "vlforms_tests";
            static char* argv[] = {name, nullptr};
            Instance = new QApplication(argc, argv);
        }
        return *Instance;
    }
    void TearDown() override {
        delete Instance;
        Instance = nullptr;
    }

  private:
    static inline QApplication* Instance = nullptr;
};
