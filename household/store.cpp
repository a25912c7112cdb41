#include "store.h"

#include "connection.h"

QString Store::filePath() const
{
    return conn_.path();
}
