#include "common/text_likeness.h"

#include "platform/code_page.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <unordered_set>

namespace common {

namespace {

enum class Kind {
    Edge, // before the first character and behind the last
    AsciiLetter,
    AsciiOther,     // digits, spaces, punctuation
    AsciiControl,
    Kana,
    JapanesePunctuation, // rows 1 to 3 of JIS X 0208 among the CJK and full-width forms
    Kanji1,
    Kanji2,
    OtherIdeograph,
    HalfWidthKana,
    Hangul,
    Latin1Letter,       // the letters of Latin-1
    CommonLatinLetter,  // Latin Extended-A and Additional, Vietnamese, Romanian, pinyin
    RareLatinLetter,    // the rest of Latin Extended-B, IPA
    ModifierLetter,
    GreekLetter,
    CyrillicLetter,
    RareGreekOrCyrillic, // Coptic, archaic Greek, old and extended Cyrillic
    OtherLetter,         // a letter of any other alphabet
    Mark,
    Typesetting,         // dashes, quotes, ellipsis, bullets (General Punctuation)
    Latin1Symbol,        // «», ¿¡, °, ©, ×, ÷ and the like
    Sign,   // arrows, mathematical signs, box drawing, shapes, dingbats, emoji
    Symbol, // anything else
    Invalid, // C1 control characters, private use, unassigned code points, lone surrogates
};

// Where letters belong for the word rules: their script, one group for kana, kanji and
// Japanese punctuation, none for everything else.
constexpr int NoScript = -1;
constexpr int JapaneseScript = -2;

struct Character
{
    char32_t value = 0;
    Kind kind = Kind::Edge;
    int script = NoScript;
    bool lower = false;
    bool upper = false;
};

// Weights in points; about 2 for a character that a text of its kind is made of.
constexpr double KanaPoints = 3;
constexpr double JapanesePunctuationPoints = 2;
constexpr double Kanji1Points = 2;
constexpr double RareKanjiPoints = -1.5; // level 2, or not in JIS X 0208
constexpr double HalfWidthKanaPoints = -2;
// Half-width katakana weighed by their spelling: a letter where a katakana word may have
// it counts like a level-1 kanji, as much as what the same bytes make in EUC at most (two
// of them are one kanji there); one where no word has it counts against the reading.
constexpr double WellSpeltHalfWidthPoints = 2;
constexpr double MisspeltHalfWidthPoints = -6;
constexpr double InvalidPoints = -8;
constexpr double TypesettingPoints = 1.5;
constexpr double SignPoints = 1; // arrows, mathematical signs, shapes, dingbats, emoji
constexpr double Latin1LetterPoints = 1;
constexpr double CommonLatinPoints = 0.5;
constexpr double RareLetterPoints = -1;
constexpr double RareGreekOrCyrillicPoints = -1.5;
constexpr double ModifierLetterPoints = -1.5;
constexpr double AlphabetLetterPoints = 0.5; // Greek, Cyrillic
constexpr double OtherLetterPoints = 0;
constexpr double HangulPoints = 1;
constexpr double MarkBehindLetterPoints = 0.5;
constexpr double MarkAlonePoints = -6;
// What a character's neighbours add.
constexpr double InWordPoints = 2;
constexpr double LetterAlonePoints = -1.5; // of another alphabet, with no letter of it beside
constexpr double ScriptChangePoints = -3;  // letters of two alphabets side by side
constexpr double CapitalBehindSmallPoints = -4;
constexpr double AmongAsciiWordsPoints = 1; // an accented letter in a text of ASCII words
constexpr double KanjiAloneAmongWordsPoints = -1;
constexpr double BesideAsciiLetterPoints = -1.5;
constexpr double KanjiRunPoints = 0.75; // a kanji beside a kanji
constexpr double SameRowPoints = -1.5;
// The cells of a row whose EUC trail byte (0xA1 to 0xBF) is a UTF-8 continuation byte:
// an alphabet's letters in UTF-8 read as EUC fall in them. Words of kanji that share a
// row by their reading (住所) mostly do not. Between Shift-JIS and EUC every cell counts.
constexpr int LastCellOfUtf8Trail = 31;
constexpr double RareKanjiAgainPoints = -1; // a rare kanji met before in the text
constexpr double HangulRunPoints = 1.5;
constexpr double SymbolBesideAsciiPoints = 2.5;
constexpr double SignBesideAsciiPoints = 1;
constexpr double PairedGuillemetPoints = 2;

bool isIdeograph(char32_t value)
{
    return (value >= 0x3400 && value <= 0x4DBF) || (value >= 0x4E00 && value <= 0x9FFF)
           || (value >= 0xF900 && value <= 0xFAFF) || (value >= 0x20000 && value <= 0x3FFFF);
}

// Latin letters beyond Latin-1 that the languages written with them use.
bool isCommonLatin(char32_t value)
{
    if ((value >= 0x100 && value <= 0x17F) || (value >= 0x1E00 && value <= 0x1EFF))
        return true;
    // Vietnamese ơ ư, Romanian ș ț, pinyin ǎ ǐ ǒ ǔ.
    static constexpr char32_t others[] = {0x1A0, 0x1A1, 0x1AF, 0x1B0, 0x1CD, 0x1CE, 0x1CF, 0x1D0,
                                          0x1D1, 0x1D2, 0x1D3, 0x1D4, 0x218, 0x219, 0x21A, 0x21B};
    return std::find(std::begin(others), std::end(others), value) != std::end(others);
}

// Cyrillic letters of Russian, Ukrainian, Belarusian, Serbian, Macedonian, Bulgarian and
// the Turkic languages.
bool isCommonCyrillic(char32_t value)
{
    static constexpr char32_t others[] = {0x490, 0x491, 0x492, 0x493, 0x49A, 0x49B, 0x4A2, 0x4A3, 0x4AE,
                                          0x4AF, 0x4B0, 0x4B1, 0x4BA, 0x4BB, 0x4D8, 0x4D9, 0x4E8, 0x4E9};
    return (value >= 0x400 && value <= 0x45F) || std::find(std::begin(others), std::end(others), value) != std::end(others);
}

Kind letterKind(char32_t value, QChar::Script script, QChar::Category category)
{
    if (category == QChar::Letter_Modifier && value >= 0x2B0 && value <= 0x2FF)
        return Kind::ModifierLetter;
    switch (script) {
    case QChar::Script_Latin:
        if (value >= 0xC0 && value <= 0xFF)
            return Kind::Latin1Letter;
        return isCommonLatin(value) ? Kind::CommonLatinLetter : Kind::RareLatinLetter;
    case QChar::Script_Greek:
        return value >= 0x386 && value <= 0x3CE ? Kind::GreekLetter : Kind::RareGreekOrCyrillic;
    case QChar::Script_Cyrillic:
        return isCommonCyrillic(value) ? Kind::CyrillicLetter : Kind::RareGreekOrCyrillic;
    default:
        return Kind::OtherLetter;
    }
}

Character classify(char32_t value)
{
    Character character;
    character.value = value;
    character.kind = Kind::AsciiOther;
    if (value < 0x80) {
        if ((value | 0x20) >= 'a' && (value | 0x20) <= 'z') {
            character.kind = Kind::AsciiLetter;
            character.script = QChar::Script_Latin;
            character.lower = value >= 'a';
            character.upper = !character.lower;
        } else if (value < 0x20 || value == 0x7F) {
            character.kind = value == '\t' || value == '\n' || value == '\r' ? Kind::AsciiOther : Kind::AsciiControl;
        }
        return character;
    }
    const auto category = QChar::category(value);
    const auto setKind = [&character](Kind kind, int script = NoScript) {
        character.kind = kind;
        character.script = script;
        return character;
    };
    if ((value >= 0x3041 && value <= 0x309F) || (value >= 0x30A0 && value <= 0x30FF))
        return setKind(Kind::Kana, JapaneseScript);
    if (value >= 0xFF61 && value <= 0xFF9F)
        return setKind(Kind::HalfWidthKana);
    // Beyond the first plane, a code point may be one that Qt's tables do not know yet.
    if (category == QChar::Other_Control || category == QChar::Other_PrivateUse || category == QChar::Other_Surrogate
        || (category == QChar::Other_NotAssigned && value <= 0xFFFF))
        return setKind(Kind::Invalid);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing)
        return setKind(Kind::Mark);
    if (isIdeograph(value)) {
        const int row = value <= 0xFFFF ? platform::cp932Row(char16_t(value)) : 0;
        return setKind(row >= 16 && row <= 47 ? Kind::Kanji1 : row >= 48 && row <= 84 ? Kind::Kanji2 : Kind::OtherIdeograph,
                       JapaneseScript);
    }
    if (value >= 0xAC00 && value <= 0xD7A3)
        return setKind(Kind::Hangul, QChar::Script_Hangul);
    if ((value >= 0x3000 && value <= 0x303F) || (value >= 0xFF01 && value <= 0xFF60)
        || (value >= 0xFFE0 && value <= 0xFFEF)) {
        const int row = platform::cp932Row(char16_t(value));
        return row >= 1 && row <= 3 ? setKind(Kind::JapanesePunctuation, JapaneseScript) : setKind(Kind::Symbol);
    }
    if ((value >= 0xA0 && value <= 0xBF) || value == 0xD7 || value == 0xF7)
        return setKind(Kind::Latin1Symbol);
    if (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other) {
        const QChar::Script script = QChar::script(value);
        character.kind = letterKind(value, script, category);
        character.script = character.kind == Kind::ModifierLetter ? NoScript : int(script);
        character.lower = category == QChar::Letter_Lowercase;
        character.upper = category == QChar::Letter_Uppercase;
        return character;
    }
    if (value >= 0x2000 && value <= 0x206F)
        return setKind(Kind::Typesetting);
    if ((value >= 0x2190 && value <= 0x2BFF) || (value >= 0x1F300 && value <= 0x1FAFF))
        return setKind(Kind::Sign);
    return setKind(Kind::Symbol);
}

// Whether letters of `script` are written in words of an alphabet (or syllabary) that
// marks may follow.
bool isAlphabetic(int script)
{
    return script != NoScript && script != JapaneseScript && script != QChar::Script_Hangul;
}

bool isAscii(Kind kind)
{
    return kind == Kind::AsciiLetter || kind == Kind::AsciiOther || kind == Kind::AsciiControl;
}

bool isKanji(Kind kind)
{
    return kind == Kind::Kanji1 || kind == Kind::Kanji2 || kind == Kind::OtherIdeograph;
}

// The ASCII bytes that stand behind a Shift-JIS lead byte as its trail: beside a kanji,
// they tell that a Shift-JIS text is read in another code.
bool isTrailSymbol(char32_t value)
{
    return value == '@' || (value >= '[' && value <= '`') || (value >= '{' && value <= '~');
}

// ASCII space or punctuation, but for the bytes that stand as Shift-JIS trail bytes.
bool isSpaceOrPunctuation(const Character &character)
{
    return character.kind == Kind::AsciiOther && !isTrailSymbol(character.value);
}

// Half-width katakana, U+FF61 to U+FF9F.
constexpr char32_t HalfWidthFullStop = 0xFF61;
constexpr char32_t HalfWidthOpeningBracket = 0xFF62;
constexpr char32_t HalfWidthComma = 0xFF64;
constexpr char32_t HalfWidthMiddleDot = 0xFF65;
constexpr char32_t HalfWidthWo = 0xFF66;
constexpr char32_t HalfWidthSmallA = 0xFF67;
constexpr char32_t HalfWidthSmallE = 0xFF6A;
constexpr char32_t HalfWidthSmallO = 0xFF6B;
constexpr char32_t HalfWidthSmallYa = 0xFF6C;
constexpr char32_t HalfWidthSmallYo = 0xFF6E;
constexpr char32_t HalfWidthSmallTsu = 0xFF6F;
constexpr char32_t HalfWidthLongMark = 0xFF70;
constexpr char32_t HalfWidthA = 0xFF71;
constexpr char32_t HalfWidthU = 0xFF73;
constexpr char32_t HalfWidthKa = 0xFF76;
constexpr char32_t HalfWidthTe = 0xFF83;
constexpr char32_t HalfWidthTo = 0xFF84;
constexpr char32_t HalfWidthHa = 0xFF8A;
constexpr char32_t HalfWidthHu = 0xFF8C;
constexpr char32_t HalfWidthHo = 0xFF8E;
constexpr char32_t HalfWidthMo = 0xFF93;
constexpr char32_t HalfWidthYa = 0xFF94;
constexpr char32_t HalfWidthYo = 0xFF96;
constexpr char32_t HalfWidthRa = 0xFF97;
constexpr char32_t HalfWidthRo = 0xFF9B;
constexpr char32_t HalfWidthWa = 0xFF9C;
constexpr char32_t HalfWidthN = 0xFF9D;
constexpr char32_t HalfWidthVoiced = 0xFF9E;
constexpr char32_t HalfWidthSemiVoiced = 0xFF9F;

enum class Vowel { None, A, I, U, E, O };

// The vowel of a full-size half-width kana (ｦ, ｱ to ﾜ); None for any other character.
Vowel vowelOf(char32_t value)
{
    constexpr Vowel columns[] = {Vowel::A, Vowel::I, Vowel::U, Vowel::E, Vowel::O};
    if (value >= HalfWidthA && value <= HalfWidthMo)
        return columns[(value - HalfWidthA) % 5];
    if (value >= HalfWidthYa && value <= HalfWidthYo)
        return columns[(value - HalfWidthYa) * 2];
    if (value >= HalfWidthRa && value <= HalfWidthRo)
        return columns[value - HalfWidthRa];
    return value == HalfWidthWa ? Vowel::A : value == HalfWidthWo ? Vowel::O : Vowel::None;
}

bool isKanaLetter(char32_t value)
{
    return vowelOf(value) != Vowel::None || value == HalfWidthN;
}

bool isSmallKana(char32_t value)
{
    return value >= HalfWidthSmallA && value <= HalfWidthSmallTsu;
}

// The kana that a voiced mark may follow: ｳ and the rows of ｶ, ｻ, ﾀ and ﾊ.
bool takesVoicedMark(char32_t value)
{
    return value == HalfWidthU || (value >= HalfWidthKa && value <= HalfWidthHo);
}

// The kana that a small tsu may stand before: the rows of ｶ, ｻ, ﾀ, ﾊ and ﾗ.
bool takesSmallTsu(char32_t value)
{
    return (value >= HalfWidthKa && value <= HalfWidthHo) || (value >= HalfWidthRa && value <= HalfWidthRo);
}

// Punctuation that ends or parts words: full stop, comma, middle dot.
bool partsWords(char32_t value)
{
    return value == HalfWidthFullStop || value == HalfWidthComma || value == HalfWidthMiddleDot;
}

// Whether a katakana text may have the half-width katakana at `index` of `characters`
// where it stands, by the characters around it:
// - a voiced mark behind a kana that takes it (ｶﾞ, ﾊﾟ);
// - a small vowel behind a kana of the u column, ﾃ or ﾄ (ﾌｧ, ﾃｨ, ﾄｩ), ｪ also behind the i
//   column (ｼｪ), any small vowel behind a kana of its own vowel (ﾈｪ);
// - a small ya, yu or yo behind the i column, ﾃ, ﾌ or ｳ (ｷｬ, ﾃﾞｭ);
// - a small tsu between a kana and a kana of the rows of ｶ, ｻ, ﾀ, ﾊ or ﾗ (ﾈｯﾄ);
// - a long mark behind a kana, ﾝ or a long mark;
// - a full stop or comma behind a word: not at the start of the text or behind a space,
//   a full stop, comma, middle dot or opening bracket (､ﾈ is the bytes of EUC と), nor
//   behind a word of one kana that stands behind one of the first three (､ﾊ､ｷ is the
//   bytes of EUC なし).
// Other kana and punctuation may stand anywhere.
bool wellSpelt(const QList<Character> &characters, qsizetype index)
{
    const auto valueAt = [&characters](qsizetype at) {
        return at >= 0 && at < characters.size() && characters[at].kind == Kind::HalfWidthKana ? characters[at].value : 0;
    };
    const char32_t value = characters[index].value;
    const char32_t before = valueAt(index - 1);
    // The kana before, its voiced mark left aside.
    const char32_t kana = before == HalfWidthVoiced || before == HalfWidthSemiVoiced ? valueAt(index - 2) : before;
    const Vowel vowel = vowelOf(kana);
    if (value == HalfWidthVoiced)
        return takesVoicedMark(before);
    if (value == HalfWidthSemiVoiced)
        return before >= HalfWidthHa && before <= HalfWidthHo;
    if (value >= HalfWidthSmallA && value <= HalfWidthSmallO)
        return vowel == Vowel::U || kana == HalfWidthTe || kana == HalfWidthTo || (value == HalfWidthSmallE && vowel == Vowel::I)
               || (vowel != Vowel::None && vowel == vowelOf(value - HalfWidthSmallA + HalfWidthA));
    if (value >= HalfWidthSmallYa && value <= HalfWidthSmallYo)
        return vowel == Vowel::I || kana == HalfWidthTe || kana == HalfWidthHu || kana == HalfWidthU;
    if (value == HalfWidthSmallTsu)
        return (vowel != Vowel::None || (isSmallKana(kana) && kana != HalfWidthSmallTsu)) && takesSmallTsu(valueAt(index + 1));
    if (value == HalfWidthLongMark)
        return isKanaLetter(kana) || (isSmallKana(kana) && kana != HalfWidthSmallTsu) || kana == HalfWidthLongMark;
    if (value != HalfWidthFullStop && value != HalfWidthComma)
        return true;
    const qsizetype kanaIndex = kana == before ? index - 1 : index - 2;
    return index > 0 && !QChar::isSpace(characters[index - 1].value) && !partsWords(before) && before != HalfWidthOpeningBracket
           && !(isKanaLetter(kana) && partsWords(valueAt(kanaIndex - 1)));
}

// Points of the half-width katakana at `index` weighed by its spelling: a letter where a
// katakana text may have it counts, punctuation there (｡｢｣､･) counts nothing, either
// where no text may have it counts against.
double spellingPoints(const QList<Character> &characters, qsizetype index)
{
    if (!wellSpelt(characters, index))
        return MisspeltHalfWidthPoints;
    return characters[index].value <= HalfWidthMiddleDot ? 0 : WellSpeltHalfWidthPoints;
}

double basePoints(const Character &character)
{
    switch (character.kind) {
    case Kind::Kana:
        return KanaPoints;
    case Kind::JapanesePunctuation:
        return JapanesePunctuationPoints;
    case Kind::Kanji1:
        return Kanji1Points;
    case Kind::Kanji2:
    case Kind::OtherIdeograph:
        return RareKanjiPoints;
    case Kind::Invalid:
        return InvalidPoints;
    case Kind::Typesetting:
        return TypesettingPoints;
    case Kind::Sign:
        return SignPoints;
    case Kind::Latin1Letter:
        return Latin1LetterPoints;
    case Kind::CommonLatinLetter:
        return CommonLatinPoints;
    case Kind::RareLatinLetter:
        return RareLetterPoints;
    case Kind::RareGreekOrCyrillic:
        return RareGreekOrCyrillicPoints;
    case Kind::ModifierLetter:
        // ʻ and ʼ write the glottal stop of Uzbek, Hawaiian and others.
        return character.value == 0x2BB || character.value == 0x2BC ? 0 : ModifierLetterPoints;
    case Kind::GreekLetter:
    case Kind::CyrillicLetter:
        return AlphabetLetterPoints;
    case Kind::OtherLetter:
        return OtherLetterPoints;
    case Kind::Hangul:
        return HangulPoints;
    default:
        return 0;
    }
}

} // namespace

double TextLikeness(QStringView text, Weighing weighing)
{
    QList<Character> characters;
    characters.reserve(text.size());
    bool asciiLetters = false;
    bool openingGuillemet = false;
    bool closingGuillemet = false;
    for (qsizetype index = 0; index < text.size(); ++index) {
        char32_t value = text[index].unicode();
        if (QChar::isHighSurrogate(value) && index + 1 < text.size() && text[index + 1].isLowSurrogate())
            value = QChar::surrogateToUcs4(char16_t(value), text[++index].unicode());
        Character character = classify(value);
        // A letter with its marks is one letter of its word.
        if (character.kind == Kind::Mark && !characters.isEmpty() && isAlphabetic(characters.constLast().script))
            character.script = characters.constLast().script;
        asciiLetters = asciiLetters || character.kind == Kind::AsciiLetter;
        openingGuillemet = openingGuillemet || character.value == 0xAB;
        closingGuillemet = closingGuillemet || character.value == 0xBB;
        characters.append(character);
    }
    const Character none;
    double points = 0;
    // Level-2 kanji and other ideographs met so far.
    std::unordered_set<char32_t> rareKanjiMet;
    for (qsizetype index = 0; index < characters.size(); ++index) {
        const Character &character = characters[index];
        const Kind kind = character.kind;
        if (isAscii(kind))
            continue;
        const Character &before = index > 0 ? characters[index - 1] : none;
        const Character &after = index + 1 < characters.size() ? characters[index + 1] : none;
        if (kind == Kind::Mark) {
            points += character.script != NoScript ? MarkBehindLetterPoints : MarkAlonePoints;
            continue;
        }
        points += basePoints(character);
        if (kind == Kind::JapanesePunctuation)
            continue;
        if (character.script == JapaneseScript) {
            if (before.kind == Kind::AsciiLetter || after.kind == Kind::AsciiLetter || isTrailSymbol(before.value)
                || isTrailSymbol(after.value))
                points += BesideAsciiLetterPoints;
            if (isKanji(kind) && (isKanji(before.kind) || isKanji(after.kind)))
                points += KanjiRunPoints;
            if ((kind == Kind::Kanji1 || kind == Kind::Kanji2) && (before.kind == Kind::Kanji1 || before.kind == Kind::Kanji2)
                && platform::cp932Row(char16_t(character.value)) == platform::cp932Row(char16_t(before.value))
                && (weighing == Weighing::ShiftJisAgainstEuc
                    || (platform::cp932Cell(char16_t(character.value)) <= LastCellOfUtf8Trail
                        && platform::cp932Cell(char16_t(before.value)) <= LastCellOfUtf8Trail)))
                points += SameRowPoints;
            if (asciiLetters && before.script != JapaneseScript && after.script != JapaneseScript)
                points += KanjiAloneAmongWordsPoints;
            if ((kind == Kind::Kanji2 || kind == Kind::OtherIdeograph) && !rareKanjiMet.insert(character.value).second)
                points += RareKanjiAgainPoints;
            continue;
        }
        if (kind == Kind::HalfWidthKana) {
            points += weighing == Weighing::ShiftJisAgainstEuc ? spellingPoints(characters, index) : HalfWidthKanaPoints;
            if (before.kind == Kind::AsciiLetter || after.kind == Kind::AsciiLetter)
                points += BesideAsciiLetterPoints;
            continue;
        }
        if (kind == Kind::Hangul) {
            if (before.kind == Kind::Hangul || after.kind == Kind::Hangul)
                points += HangulRunPoints;
            continue;
        }
        if (kind == Kind::Sign) {
            if (isSpaceOrPunctuation(before) || isSpaceOrPunctuation(after))
                points += SignBesideAsciiPoints;
            continue;
        }
        if (kind == Kind::Latin1Symbol) {
            if (isAscii(before.kind) || isAscii(after.kind))
                points += SymbolBesideAsciiPoints;
            if (openingGuillemet && closingGuillemet && (character.value == 0xAB || character.value == 0xBB))
                points += PairedGuillemetPoints;
            continue;
        }
        if (character.script == NoScript)
            continue;
        // Latin words hold ASCII letters; accented letters alone make none.
        const bool latin = character.script == QChar::Script_Latin;
        const bool inWord = (before.script == character.script || after.script == character.script) && (!latin || asciiLetters);
        if (inWord && kind != Kind::RareLatinLetter && kind != Kind::RareGreekOrCyrillic)
            points += InWordPoints;
        if (!inWord && kind == Kind::OtherLetter)
            points += LetterAlonePoints;
        // A Greek letter alone in a text of ASCII words is a symbol (λ, θ, μs, kΩ), also
        // right behind a letter.
        if (kind == Kind::GreekLetter && !inWord && asciiLetters)
            points += AmongAsciiWordsPoints;
        else if (before.script != NoScript && before.script != character.script)
            points += ScriptChangePoints;
        if (before.script == character.script && before.lower && character.upper)
            points += CapitalBehindSmallPoints;
        if (asciiLetters && (kind == Kind::Latin1Letter || kind == Kind::CommonLatinLetter))
            points += AmongAsciiWordsPoints;
    }
    return points;
}

} // namespace common
