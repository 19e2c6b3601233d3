#pragma once

// The settings read from Option.ini, one field per key of section "Option".

#include <QString>

struct OptionSettings
{
    QString FileOpen;
    QString FileOpenTyp;
    QString FileSave;
    QString FileSaveTyp;
    QString FileIN;
    QString FileINTyp;
    QString FileImage;
    QString FileImageTyp;
    int RegSave = 0;
    int PictINS = 0;
};

// Loads every key from Option.ini into `settings`. A key that is missing
// keeps the field's previous value.
void IniOption(OptionSettings &settings);
