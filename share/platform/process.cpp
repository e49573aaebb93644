#include "platform/process.h"

#include <QProcess>
#include <QStringList>

#include "platform/folders.h"

namespace {

bool StartWithQProcess(const THostPath& program, const std::vector<std::string>& arguments,
                       std::string& error) {
    QProcess process;
    process.setProgram(QString::fromStdString(program.Text()));
    QStringList list;
    for (const std::string& argument : arguments)
        list << QString::fromStdString(argument);
    process.setArguments(list);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    error = process.errorString().toStdString();
    return false;
}

TProgramStarter& Starter() {
    static TProgramStarter starter = StartWithQProcess;
    return starter;
}

}  // namespace

THostPath ProgramBesideThis(const std::string& name) {
    THostPath folder = ExeFolderHost();
    return folder.IsEmpty() ? THostPath() : folder / name;
}

bool StartDetachedProgram(const THostPath& program, const std::vector<std::string>& arguments,
                          std::string& error) {
    error.clear();
    if (program.IsEmpty()) {
        error = "the program's folder is not known";
        return false;
    }
    return Starter()(program, arguments, error);
}

TProgramStarter SetProgramStarter(TProgramStarter starter) {
    TProgramStarter previous = Starter();
    Starter() = starter ? std::move(starter) : TProgramStarter(StartWithQProcess);
    return previous;
}
