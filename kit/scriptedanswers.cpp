#include "scriptedanswers.h"

App::MsgAnswer ScriptedAnswers::message(const QString& text, App::MsgStyle style, const QString& title)
{
    messages_.append(Message{text, style, title});
    return answers_.isEmpty() ? App::MsgAnswer::Ok : answers_.takeFirst();
}

QString ScriptedAnswers::chooseFile(App::FileDialog kind, const QString& caption, const QString& start,
                                    const QString& filter, QWidget*)
{
    fileDialogs_.append(FileDialogShown{kind, caption, start, filter});
    return fileChoices_.isEmpty() ? QString() : fileChoices_.takeFirst();
}
