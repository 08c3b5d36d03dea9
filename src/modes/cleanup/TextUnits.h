#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A text as the clean-up's checks compare it, in units: each Chinese,
// Japanese or Korean character is one, each word of a script with spaces is
// one (in lower case), each number is one whatever it is written as
// ("二十五", "25", "twenty five"), and punctuation and spaces count for
// nothing. Each unit keeps its script, so that a change of language shows.
struct TextUnits
{
    // The script of a number; letters have their Unicode script (the two
    // kana as one).
    static constexpr int kNumber = -1;

    QStringList keys;
    QList<int> scripts;

    static TextUnits of(const QString &text);

    qsizetype size() const { return keys.size(); }
    void add(const QString &key, int script)
    {
        keys << key;
        scripts << script;
    }
    // How many of the units are what a clean-up is there to remove: fillers
    // (嗯, 那个, 就是说, um, uh…) and a unit said again right after itself (a
    // stutter). Only a guess, to keep a transcript thick with them from
    // counting as content dropped.
    qsizetype fillers() const;
    // The script most of the units are written in (numbers aside); kNumber
    // when there are none.
    int mainScript() const;
    // The share of the units written in the script, numbers aside; -1 when
    // fewer than three units are letters (letters: how many there are).
    double shareOf(int script, qsizetype *letters = nullptr) const;
    // The length of the longest sequence of units both share in order.
    static qsizetype sharedInOrder(const TextUnits &a, const TextUnits &b);
};
