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

// Loads every key from Option.ini into `settings`. A text key that is missing
// or reads "ERROR" keeps the field's previous value; a missing or non-integer
// RegSave or PictINS becomes 0.
void IniOption(OptionSettings &settings);

// Writes all ten keys in the order of the options dialog, texts enclosed in
// double quotes. Stops at the first key that cannot be written and returns
// false with the user's message ("<path> に書き込めません") in *errorMessage.
bool WriteOptionIni(const OptionSettings &values, QString *errorMessage);

// Where Option.ini lives: beside the executable, or, when that folder cannot
// be written (a system-wide install), $XDG_CONFIG_HOME/tamapiko/Option.ini.
QString optionIniPath();
// Uses `path` instead from now on (tests); an empty path restores the default.
void setOptionIniPath(const QString &path);
