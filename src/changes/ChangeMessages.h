#pragma once

#include <QString>

// Everything Add New, Update and DELETE tell the operator, each named for what it says.
// The messages for an empty required box come with the roster's columns.
namespace kelvory::changes::messages {

QString recordAdded();
QString recordUpdated();
QString recordDeleted();
QString nothingToUpdate();
QString nothingToDelete();
QString deleteQuestion(const QString &name);
QString deleteQuestionTitle();

QString boxCannotBeStored(const QString &boxName, const QString &problem);
QString noMemberPicked(const QString &command);
QString recordIdNotWhole(const QString &recordId);
QString recordIdShared(qint64 recordId, qint64 members);
QString newRecordIdTaken(qint64 recordId);
QString memberGone(const QString &recordId);
// The description of the standard error (6) when the next record id would not fit.
QString largestRecordIdOverflows(const QString &largest);

} // namespace kelvory::changes::messages
