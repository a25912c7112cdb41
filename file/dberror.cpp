#include "dberror.h"

#include <sqlite3.h>

DbError::DbError(Kind kind, int code, const QString& message, const QString& sql)
    : std::runtime_error((message + QStringLiteral(" [") + sql + QStringLiteral("]")).toStdString()),
      kind_(kind), code_(code), message_(message), sql_(sql)
{
}

DbError::Kind DbError::classify(int extendedCode, const QString& message)
{
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return Duplicate;
    case SQLITE_CONSTRAINT_CHECK:
    case SQLITE_MISMATCH:
        return BadValue;
    default:
        break;
    }
    switch (extendedCode & 0xff) {
    case SQLITE_CANTOPEN:
        return CannotOpen;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return NotADatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Busy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ReadOnly;
    case SQLITE_IOERR:
        return message.contains(QLatin1String("read")) ? NotADatabase : IoError;
    case SQLITE_FULL:
        return DiskFull;
    case SQLITE_ERROR:
        // sum() over whole numbers whose total no 64-bit integer holds.
        return message == QLatin1String("integer overflow") ? Overflow : Other;
    default:
        return Other;
    }
}

QString DbError::userText() const
{
    switch (kind_) {
    case CannotOpen:
        return QStringLiteral("无法打开数据库文件 main.mdb：文件不存在或没有读写权限");
    case NotADatabase:
        return QStringLiteral("数据库文件 main.mdb 已损坏或不是有效的数据库文件");
    case Busy:
        return QStringLiteral("数据库文件正被其它程序使用，请稍后再试");
    case ReadOnly:
        return QStringLiteral("数据库文件是只读的，数据不能保存");
    case Duplicate:
        return QStringLiteral("编号重复：已有相同的 ID（不区分大小写），请换一个");
    case BadValue:
        return QStringLiteral("数据格式不正确：金额必须是数字，日期必须是有效的日期");
    case NoRow:
        return QStringLiteral("没有当前记录，请先选择或添加一条记录");
    case NotEditable:
        return QStringLiteral("这些数据是只读的，不能修改");
    case DiskFull:
        return QStringLiteral("磁盘已满，数据没有写入：请腾出磁盘空间后再试一次");
    case IoError:
        return QStringLiteral("读写数据库文件时出错，数据没有写入：请检查磁盘或存储设备后再试一次");
    case Overflow:
        return QStringLiteral("金额合计超出了能计算的范围：数据库中有超大的金额，可能是用其它工具写入的，请改正后再试");
    case Other:
        break;
    }
    return QStringLiteral("数据库操作失败：") + message_;
}
