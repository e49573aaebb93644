// What the tests of the profile package's dialogs share: a data folder of their own with
// sample profiles, the dialog loaded from the module by name as the program loads it, and
// message boxes answered by a script that every test checks at its end.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "packageform.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "sandboxdata.h"
#include "scriptedinteraction.h"
#include "vloadform.h"

// Serves the application's events until done holds, for ten seconds at the most.
inline bool ServeEventsUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Adds to manager a profile per title, each guarding C:\<title> and backing up to target;
// change, when given, is applied to each before it is added.
inline void AddSampleProfiles(TProfileMgr& manager, std::initializer_list<const char*> titles,
                              const std::string& target,
                              const std::function<void(TProfile&)>& change = {}) {
    for (const char* title : titles) {
        auto profile = std::make_unique<TProfile>();
        profile->Title = title;
        profile->UpdateSource({std::string("C:\\") + title});
        profile->UpdateTarget(target);
        if (change)
            change(*profile);
        manager.AddNewProfile(std::move(profile));
    }
}

// Every question the script holds was asked, and no other.
inline void ExpectAllAnswered(const TScriptedInteraction& script) {
    EXPECT_TRUE(script.Unexpected().empty())
        << "unexpected question: " << script.Unexpected().front();
    EXPECT_EQ(script.Pending(), 0u) << "questions that were never asked";
}

// The scripted answers, keeping the box style of every message as well.
class TStyleRecordingScript : public TScriptedInteraction {
  public:
    int MessageBox(const TMessageRequest& request) override {
        Styles.push_back({request.Id, request.Flags});
        return TScriptedInteraction::MessageBox(request);
    }
    struct TStyle {
        int Id;
        unsigned Flags;
    };
    std::vector<TStyle> Styles;
};

// A module dialog over a data folder of its own; each test fills the folder in SetUp.
// Public, so that tables of cases may hold steps that act on it.
class TProfileDialogTest : public testing::Test {
  public:
    void SetUp() override {
        TQtEnvironment::App();
        Previous = SetInteraction(&Script);
    }
    void TearDown() override {
        UnloadForm(Module);
        Manager.reset();
        SetInteraction(Previous);
        ExpectAllAnswered(Script);
    }

    // Loads the dialog className, hands it a manager of the data folder and shows it.
    void Open(const char* className) {
        Manager = std::make_unique<TProfileMgr>();
        TPackageForm* form = LoadForm(Module, className, "vledtprf");
        ASSERT_NE(form, nullptr) << LastLoadFormError();
        Dialog = form;
        Dialog->Tag = Manager.get();
        Dialog->show();
        ASSERT_TRUE(ServeEventsUntil([&] { return Dialog->isVisible(); }));
    }
    // Ends this process's manager, so that a new one reads what was saved.
    std::unique_ptr<TProfileMgr> Reread() {
        Manager.reset();
        return std::make_unique<TProfileMgr>();
    }

    template <typename T>
    T* Child(const char* name) const {
        T* child = Dialog ? Dialog->findChild<T*>(name) : nullptr;
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* button) {
        QAbstractButton* push = Child<QAbstractButton>(button);
        ASSERT_NE(push, nullptr);
        QTest::mouseClick(push, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Replaces what a number field holds with typed, key by key, as the user types.
    static void Retype(QAbstractSpinBox* field, const char* typed) {
        field->setFocus();
        if (auto* edit = field->findChild<QLineEdit*>())
            edit->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, typed);
    }
    // Leaves a field as the user leaves it, by moving the focus away.
    static void Leave(QWidget* field) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &out);
    }

    TFreshDataFolder Data;
    TStyleRecordingScript Script;
    TInteraction* Previous = nullptr;
    TPackageHandle Module = nullptr;
    QPointer<TPackageForm> Dialog;
    std::unique_ptr<TProfileMgr> Manager;
};
