#include "vloadform.h"

#include <gtest/gtest.h>

#include <QPointer>

#include "formregistry.h"
#include "interaction.h"
#include "packageform.h"
#include "qtenvironment.h"
#include "scriptedinteraction.h"

namespace {

const std::string TestModule = "vltestmodule";

class LoadForm_ : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
    void TearDown() override { UnloadForm(Handle); }
    TPackageHandle Handle = nullptr;
};

TEST_F(LoadForm_, LoadsTheModuleOnceAndCreatesEachFormByName) {
    TPackageForm* first = LoadForm(Handle, "TTestDialog", TestModule);
    ASSERT_NE(first, nullptr) << LastLoadFormError();
    EXPECT_EQ(first->objectName(), "TestDialog");
    TPackageHandle loaded = Handle;

    TPackageForm* second = LoadForm(Handle, "TTestDialog", "no such module");
    ASSERT_NE(second, nullptr) << "a loaded module is not looked for again";
    EXPECT_EQ(Handle, loaded);
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsFormClassRegistered("TTestDialog"));
}

TEST_F(LoadForm_, UnloadDeletesTheModulesFormsAndForgetsItsClasses) {
    QPointer<TPackageForm> form = LoadForm(Handle, "TTestDialog", TestModule);
    QPointer<TPackageForm> gone = LoadForm(Handle, "TTestDialog", TestModule);
    ASSERT_TRUE(form && gone);
    delete gone.data();

    UnloadForm(Handle);

    EXPECT_EQ(Handle, nullptr);
    EXPECT_TRUE(form.isNull()) << "the module's forms go with it";
    EXPECT_FALSE(IsFormClassRegistered("TTestDialog"));
    EXPECT_FALSE(IsFormClassRegistered("TFailingDialog"));
    UnloadForm(Handle);
    EXPECT_EQ(Handle, nullptr) << "unloading nothing does nothing";
}

TEST_F(LoadForm_, FailuresGiveNoneWithAReason) {
    struct TCase {
        const char* What;
        std::string ClassName;
        std::string Module;
        std::string Reason;
    };
    const TCase cases[] = {
        {"missing module", "TTestDialog", "vlnosuchmodule", "vlnosuchmodule"},
        {"unregistered class", "TNoSuchDialog", TestModule, "TNoSuchDialog"},
        {"not a module dialog", "TPlainWidget", TestModule, "TPlainWidget"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(LoadForm(Handle, c.ClassName, c.Module), nullptr) << c.What;
        EXPECT_NE(LastLoadFormError().find(c.Reason), std::string::npos)
            << c.What << ": " << LastLoadFormError();
    }
    EXPECT_NE(Handle, nullptr) << "the module that did load stays loaded";
}

TEST_F(LoadForm_, AFormThatCannotBeMadeIsShownInTheExceptionBox) {
    TScriptedInteraction script;
    script.ExpectText("could not be made", IDOK);
    TInteraction* previous = SetInteraction(&script);
    TPackageForm* form = LoadForm(Handle, "TFailingDialog", TestModule);
    SetInteraction(previous);

    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_TRUE(script.Unexpected().empty());
}

TEST(PackageForm, TakeTagHandsOverTheObjectOnce) {
    TQtEnvironment::App();
    TPackageForm form;
    auto* manager = reinterpret_cast<TProfileMgr*>(&form);
    form.Tag = manager;
    EXPECT_EQ(form.TakeTag<TLogFile>(), nullptr) << "a tag of another kind is no log";
    form.Tag = manager;
    EXPECT_EQ(form.TakeTag<TProfileMgr>(), manager);
    EXPECT_EQ(form.TakeTag<TProfileMgr>(), nullptr);
}

TEST(FormRegistry, ClassesRegisteredDuringALoadBelongToThatModule) {
    int module = 0;
    SetLoadingFormModule(&module);
    RegisterFormClass("TModuleForm", [] { return nullptr; });
    SetLoadingFormModule(nullptr);
    RegisterFormClass("TProgramForm", [] { return nullptr; });

    EXPECT_EQ(FormClassesOfModule(&module), std::vector<std::string>{"TModuleForm"});
    UnregisterFormModule(&module);
    EXPECT_FALSE(IsFormClassRegistered("TModuleForm"));
    EXPECT_TRUE(IsFormClassRegistered("TProgramForm"));
    UnregisterFormClass("TProgramForm");
}

}  // namespace
