#include "core/WriteReports.h"

#include <QString>

#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/Database.h"
#include "platform/Prompter.h"

namespace lq {
namespace {

const QString kCaption = QStringLiteral("Lindquest");

QString EngineMessage(const SqlResult& failure) {
    return QString::fromUtf8(failure.message.empty() ? sqlite3_errstr(failure.code) : failure.message.c_str());
}

void TellAnswersNotSaved(LearnState& state, const QString& text) {
    if (state.AnswersNotSavedReported) return;
    state.AnswersNotSavedReported = true;
    AppPrompter().Show(text, kCaption, MsgIcon::Warning);
}

}  // namespace

void ReportFailedWrite(const std::string& what, const SqlResult& failure, Prompter* prompter) {
    (prompter ? *prompter : AppPrompter()).Show(QString::fromUtf8(what.c_str()) + QStringLiteral(":\n") + EngineMessage(failure), kCaption,
                       MsgIcon::Error);
}

bool ReportUnwritableDatabase(Database& db, LearnState& state) {
    if (!db.IsOpen()) return false;
    const SqlResult r = db.CheckWritable();
    // A lock held by another program says nothing about the file; a step will find out.
    if (r.ok() || (r.code & 0xff) == SQLITE_BUSY || (r.code & 0xff) == SQLITE_LOCKED) return false;
    TellAnswersNotSaved(state, QStringLiteral("The lesson database cannot be written:\n") + EngineMessage(r) +
                                   QStringLiteral("\n\nYou can practise, but your answers will not be saved."));
    return true;
}

void ReportAnswersNotSaved(LearnState& state, const SqlResult& failure) {
    TellAnswersNotSaved(state, QStringLiteral("Your answers are not being saved:\n") + EngineMessage(failure) +
                                   QStringLiteral("\n\nYou can go on practising."));
}

void ReportAnswerKept(const SqlResult& failure) {
    AppPrompter().Show(QStringLiteral("Your answer was not saved:\n") + EngineMessage(failure) +
                           (IsLockFailure(failure)
                                ? QStringLiteral("\n\nAnother program is using the lesson database. The sentence stays "
                                                 "on the board: press Next again to save your answer.")
                                : QStringLiteral("\n\nThe sentence stays on the board: press Next again to try once "
                                                 "more.")),
                       kCaption, MsgIcon::Warning);
}

void ReportAnswerLost(const SqlResult& failure) {
    AppPrompter().Show(QStringLiteral("Your answer was not saved:\n") + EngineMessage(failure) +
                           QStringLiteral("\n\nAnother program is using the lesson database."),
                       kCaption, MsgIcon::Warning);
}

}  // namespace lq
