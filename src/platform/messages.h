// Every text the system shows its users: messages, errors, dialog prompts and
// titles (UTF-8). Core code and windows take them from here and nowhere else,
// so that a text is written once and a test can compare against the same
// constant. Captions of controls stay with the windows that lay them out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vuduzez {

// --- run-time errors: files and numbers --------------------------------------

// The standard error box shows these with the path after ": ".
inline constexpr const char* kFileNotFound = "ファイルが見つかりません";
inline constexpr const char* kCannotCreateFile = "ファイルを作成できません";
inline constexpr const char* kCannotWriteFile = "ファイルに書き込めません";
inline constexpr const char* kCannotReadFile = "ファイルを読み込めません";
inline constexpr const char* kCannotReplaceFile = "ファイルを置き換えられません";
inline constexpr const char* kCannotSyncFolder = "フォルダを同期できません";
inline constexpr const char* kCannotOpenFile = "ファイルを開けません";
inline constexpr const char* kCannotLockFile = "ファイルをロックできません";
// A FIFO, device or folder where a file is to be read: refused, never waited on.
inline constexpr const char* kNotRegularFile = "通常のファイルではありません";

// "'<text>' は整数ではありません"; text in UTF-8.
inline std::string NotAnIntegerMessage(const std::string& text) {
  return "'" + text + "' は整数ではありません";
}
// "'<text>' は浮動小数点数ではありません"; text in UTF-8.
inline std::string NotAFloatMessage(const std::string& text) {
  return "'" + text + "' は浮動小数点数ではありません";
}

// --- structures: MOL files, clipboard, capacities ----------------------------

inline constexpr const char* kNotV2000Message = "ChemDrawのファイルではありません";
inline constexpr const char* kClipboardEmpty = "クリップボードにデータがありません";

inline std::string TooManyAtomsMessage(int atoms, int capacity) {
  return "原子数 " + std::to_string(atoms) + " は扱えません（上限は " + std::to_string(capacity) +
         " 原子です）";
}
inline std::string TooManyBondsMessage(int bonds, int capacity) {
  return "結合数 " + std::to_string(bonds) + " は扱えません（上限は " + std::to_string(capacity) +
         " 結合です）";
}
// Bond `bond` names atom `atom`, outside 1..atoms.
inline std::string BondAtomOutOfRangeMessage(int bond, int atom, int atoms) {
  return "結合 " + std::to_string(bond) + " の原子番号 " + std::to_string(atom) +
         " は範囲外です（1～" + std::to_string(atoms) + "）";
}

// --- structures as files write them: what the reader refuses -------------------

inline constexpr const char* kGzipDamaged =
    "gzip で圧縮されたファイルが壊れているか、途中で切れています";
inline constexpr const char* kGzipTooLarge = "gzip で圧縮されたファイルは展開すると大きすぎます";
// A V3000 MOL file the conversion to V2000 could not read (why: in English).
inline std::string V3000UnreadableMessage(const std::string& why) {
  return "V3000 形式の MOL ファイルを読めません: " + why;
}
inline constexpr const char* kV3000NoReader =
    "V3000 形式の MOL ファイルを読む部品が組み込まれていません";
// An atom symbol (UTF-8) that names no element: a typo, or a label such as R or X.
inline std::string AtomNotElementMessage(int atom, const std::string& symbol) {
  return "原子 " + std::to_string(atom) + " の記号「" + symbol + "」は元素記号ではありません";
}
inline std::string AtomNoSymbolMessage(int atom) {
  return "原子 " + std::to_string(atom) + " に元素記号がありません";
}
// A property line (M  CHG, M  ISO, M  RAD ...) naming an atom outside 1..atoms.
inline std::string PropertyAtomOutOfRangeMessage(const std::string& property, int atom, int atoms) {
  return "「" + property + "」の原子番号 " + std::to_string(atom) + " は範囲外です（1～" +
         std::to_string(atoms) + "）";
}
// The counts line does not agree with the atom and bond lines that follow it.
inline std::string CountsMismatchMessage(int atoms, int bonds, const std::string& what) {
  return what + "（4 行目の原子数 " + std::to_string(atoms) + "・結合数 " + std::to_string(bonds) +
         " が原子・結合の行と合いません）";
}
inline std::string FileEndsBeforeAtomText(int atom) {
  return "原子 " + std::to_string(atom) + " の行の前でファイルが終わっています";
}
inline std::string FileEndsBeforeBondText(int bond) {
  return "結合 " + std::to_string(bond) + " の行の前でファイルが終わっています";
}
inline std::string NotAnAtomLineText(int line, int atom, const std::string& found) {
  return std::to_string(line) + " 行目は原子 " + std::to_string(atom) + " の行のはずが" + found +
         "です";
}
inline std::string NotABondLineText(int line, int bond, const std::string& found) {
  return std::to_string(line) + " 行目は結合 " + std::to_string(bond) + " の行のはずが" + found +
         "です";
}
inline std::string MoreLinesText(int line, const std::string& found) {
  return std::to_string(line) + " 行目にも" + found + "があります";
}
inline constexpr const char* kAtomLineWord = "原子の行";
inline constexpr const char* kBondLineWord = "結合の行";
inline std::string PropertyLineWord(const std::string& line) { return "「" + line + "」の行"; }
// Aromatic bonds (MOL bond type 4, V3000 aromatic bonds) without a Kekule form.
inline std::string NoKekuleMessage(int atom) {
  return "原子 " + std::to_string(atom) +
         " の芳香族結合の二重結合を決められません（ケクレ構造がありません）";
}
// What only a search query can hold: registration refuses it with these.
inline std::string QueryAtomMessage(int atom, const std::string& symbol) {
  return "原子 " + std::to_string(atom) + "「" + symbol +
         "」は検索用の問い合わせ原子です。登録する構造には使えません";
}
inline std::string AtomListMessage(int atom) {
  return "原子 " + std::to_string(atom) + " は検索用の原子リストです。登録する構造には使えません";
}
inline std::string QueryBondMessage(int bond, int type) {
  return "結合 " + std::to_string(bond) + " は検索用の問い合わせ結合（種類 " +
         std::to_string(type) + "）です。登録する構造には使えません";
}

// --- structure keys -----------------------------------------------------------

inline constexpr const char* kMoleculeTooLarge = "は分子が大きすぎます";
// "<structure>は分子が大きすぎます": the structure named by its name, or by what
// it is where it has none.
inline std::string MoleculeTooLargeMessage(const std::string& subject) {
  return subject + kMoleculeTooLarge;
}
inline constexpr const char* kUnnamedStructure = "名前のない構造";
inline constexpr const char* kQueryStructure = "検索構造";
// After the molecule name: the deferred walks outgrew their stack.
inline constexpr const char* kStackShortSuffix = "の処理にはスタック不足です";
inline constexpr const char* kNoDataMessage = "データが未入力です";
inline constexpr const char* kBadDataMessage = "データが不正です";
// The key was made again without the explicit hydrogens (the CLI's notes).
inline std::string KeyWithoutHydrogensNote(int hydrogens) {
  return "key made without its " + std::to_string(hydrogens) +
         " explicit hydrogens (with them it had too many paths)";
}
// Shown when a key failed without a message of its own.
inline constexpr const char* kKeyFailedFallback = "構造キーを作成できませんでした";

// --- the database ---------------------------------------------------------------

inline constexpr const char* kRewriteFinished = "変換をを終了しました";
// Another process holds the database's lock longer than we wait.
inline constexpr const char* kDatabaseBusy =
    "他のプログラムがこのデータベースを変更中です。しばらくしてからもう一度試してください。"
    "何も変更しませんでした";
inline constexpr const char* kDatabaseReadOnly =
    "データベースファイルは読み取り専用です。何も変更しませんでした";
// The database does not end with a whole record: where, so that it can be
// mended by hand. record counts from 1, offset in bytes from 0.
inline std::string ShortRecordMessage(size_t record, size_t offset, const std::string& path) {
  return "データベースファイルの" + std::to_string(record) + "番目のレコード（バイト位置" +
         std::to_string(offset) +
         "から）が4行に足りません。壊れたファイルには追加しません。何も変更しませんでした: " + path;
}
inline std::string MissingLineEndMessage(size_t record, size_t offset, const std::string& path) {
  return "データベースファイルの最後の行に改行がありません（" + std::to_string(record) +
         "番目のレコードの終わり、バイト位置" + std::to_string(offset) +
         "）。壊れたファイルには追加しません。何も変更しませんでした: " + path;
}

// The next change took back what an append killed part-way had written.
inline std::string UndoneAppendMessage(long long bytes, const std::string& path) {
  return "中断された前回の追加の書きかけ（" + std::to_string(bytes) +
         " バイト）を取り除きました: " + path;
}

// Caches (screen index, connection tables) that could hold what someone else
// wrote are not used.
inline std::string CacheFolderNotOwnMessage(const std::string& folder) {
  return "キャッシュフォルダの所有者が自分ではないため、キャッシュを使わずに検索します: " + folder;
}
inline std::string CacheFolderWritableMessage(const std::string& folder) {
  return "キャッシュフォルダに他のユーザーが書き込めるため、キャッシュを使わずに検索します: " +
         folder;
}
inline std::string CacheFileUntrustedMessage(const std::string& file) {
  return "キャッシュファイルが自分のものでないか他のユーザーが書き込めるため、作り直します: " +
         file;
}

// --- registration -------------------------------------------------------------

inline constexpr const char* kNoSearchData = "検索用データがありません";
inline constexpr const char* kDuplicate = "既に登録されています";
inline constexpr const char* kStored = "データを格納しました";
// The name questions of the store: the input box's caption and prompts.
inline constexpr const char* kCodeInputCaption = "コード入力";
inline constexpr const char* kEnterNamePrompt = "化合物名を入力して下さい";
inline constexpr const char* kEnterNewNamePrompt = "新しい化合物名を入力して下さい";
// A typed name (UTF-8) that CP932 cannot hold.
inline std::string NameNotShiftJisMessage(const std::string& name) {
  return "化合物名「" + name + "」にはShift-JISで書けない文字があります。登録しませんでした";
}
// Names refused before they become name lines (UTF-8, control characters
// spelled out).
inline std::string NameBlankMessage(const std::string& name) {
  return "化合物名「" + name + "」は空です。登録しませんでした";
}
inline std::string NameControlCharacterMessage(const std::string& name) {
  return "化合物名「" + name + "」に制御文字（改行・タブなど）が含まれています。登録しませんでした";
}
inline std::string NameChangedByShiftJisMessage(const std::string& name, const std::string& back) {
  return "化合物名「" + name + "」はShift-JISでは別の名前「" + back +
         "」になってしまいます。登録しませんでした";
}
// The name is also the MOL file's name in the MOL folder.
inline std::string NameSlashMessage(const std::string& name) {
  return "化合物名「" + name + "」には「/」が含まれています。登録しませんでした";
}
inline constexpr const char* kNoMolFolderForStore =
    "mole file 収納フォルダが指定されていません。「変更」で選んでください。登録しませんでした";
// The MOL folder holds a file of the stored name with other content (file: UTF-8).
inline std::string MolFileClashMessage(const std::string& file) {
  return "mole file 収納フォルダに同じ名前で内容の違うファイルがあります: " + file +
         "\nそのファイルはそのままにし、登録しませんでした";
}

// After the name line as read: that name is in the database already.
inline constexpr const char* kAlreadyRegistered = "は登録済みです";
inline constexpr const char* kBatchFinished = "変換終了";
inline constexpr const char* kNoMolFolder = "Molファイルの在り場所が指定されていません";
// register takes a folder of MOL files, never one file.
inline std::string NotAFolderMessage(const std::string& path) {
  return path + " はフォルダではありません（MOL ファイルのあるフォルダを指定してください）";
}
// Why batch registration passed an entry over quietly (listed by the CLI).
inline constexpr const char* kSkippedShortName = "name of 4 bytes or fewer";
inline constexpr const char* kSkippedNotRegularFile = "not a regular file";
// After the name line: its records were removed.
inline constexpr const char* kDeleted = "を削除しました";
inline std::string NotInDatabaseMessage(const std::string& name) {
  return name + "はデータベースにありません。何も削除しませんでした";
}
// The end of a batch run with files not registered: counts, then lists.
inline std::string BatchCountsMessage(int registered, int alreadyRegistered, int refused) {
  return "登録 " + std::to_string(registered) + " 件、登録済み " +
         std::to_string(alreadyRegistered) + " 件、登録できなかったもの " +
         std::to_string(refused) + " 件";
}
inline constexpr const char* kRefusedFilesHeading = "登録できなかったファイル:";
inline constexpr const char* kRegisteredFilesHeading = "登録済みのファイル:";
inline std::string MoreEntriesMessage(size_t more) {
  return "ほか " + std::to_string(more) + " 件";
}
inline constexpr const char* kNoSelection = "削除する化合物がリストで選ばれていません";
// The question before a deletion: the name line (UTF-8) and how many records go.
inline std::string DeleteQuestion(const std::string& nameLine, int records) {
  return "「" + nameLine + "」を削除します（データベースの " + std::to_string(records) +
         " 件のレコード）。よろしいですか？";
}
// The batch run's progress dialog, and its end when the user stopped it.
inline constexpr const char* kBatchProgressText = "構造データの一括作成中…";
inline constexpr const char* kBatchStopButton = "中止";
inline std::string BatchStoppedMessage(int registered) {
  return "一括作成を中止しました（登録 " + std::to_string(registered) + " 件）";
}

// --- structure identity, files that follow their records -------------------------

// What a registered compound is to a structure (the closest identity layer they share).
inline constexpr const char* kSameStructureRelation = "同じ構造";
inline constexpr const char* kSaltFormRelation = "塩・溶媒和物などの別の形";
inline constexpr const char* kStereoisomerRelation = "立体異性体";
inline constexpr const char* kTautomerRelation = "互変異性体";
// The store asks before a second record of one structure (names: UTF-8, joined).
inline std::string SameStructureQuestion(const std::string& names) {
  return "同じ構造が " + names + " として登録されています。別の名前で登録しますか？";
}
// The registration window's message area: the registered forms of the structure.
inline std::string RelatedCompoundsNote(const std::string& list) {
  return "登録済みの関連化合物: " + list;
}
// Batch registration and import: an entry that repeats registered structures.
inline std::string SameStructureAsMessage(const std::string& names) {
  return "同じ構造が " + names + " として登録されています";
}
inline constexpr const char* kSameStructureHeading = "同じ構造が登録済みのもの:";
inline std::string SameStructureCountMessage(long long count, bool skipped) {
  return "同じ構造 " + std::to_string(count) + " 件" + (skipped ? "（登録せず）" : "（登録済み）");
}
// Import: the name is registered with another structure (name line: UTF-8).
inline std::string NameOfOtherStructureMessage(const std::string& nameLine) {
  return nameLine + "は別の構造で登録されています。登録しませんでした";
}
// Batch registration from another folder: the copy could not go into the MOL folder.
inline std::string MolCopyClashMessage(const std::string& file) {
  return "mole file "
         "収納フォルダに同じ名前で内容の違うファイルがあるため、コピーも登録もしませんでした: " +
         file;
}
// Deletion moved the MOL file into the trash folder (path: UTF-8).
inline std::string MovedToTrashMessage(const std::string& path) {
  return "MOLファイルを削除済みフォルダに移しました: " + path;
}
// Restoring a deleted compound (name line: UTF-8).
inline constexpr const char* kRestored = "を復元しました";
inline std::string NotInTrashMessage(const std::string& nameLine) {
  return nameLine + "のMOLファイルは削除済みフォルダにありません。何も復元しませんでした";
}
inline constexpr const char* kRestoreTitle = "削除した化合物の復元";
inline constexpr const char* kRestoreFileFilter = "MolFile|*.mol;*.MOL;*.mol.gz";
inline constexpr const char* kNoTrashFolder = "削除済みの化合物はありません";
// A new, empty database from the registration window's "変更".
inline constexpr const char* kDatabaseChoiceQuestion =
    "使用するデータベースファイルを選びます。既にあるファイルを開くか、新しい空のデータベースを作り"
    "ます。";
inline constexpr const char* kOpenDatabaseButton = "既存のファイルを開く";
inline constexpr const char* kNewDatabaseButton = "新しく作成";
inline constexpr const char* kNewDatabaseTitle = "新しいデータベースファイル";
inline std::string DatabaseExistsMessage(const std::string& path) {
  return "既にファイルがあります: " + path + "\n新しいデータベースは作りませんでした";
}
inline std::string DatabaseCreatedMessage(const std::string& database,
                                          const std::string& molFolder) {
  return "新しいデータベースを作りました。\nデータベースファイル: " + database +
         "\nmole file 収納フォルダ: " + molFolder;
}
// Saved hits without a MOL file: written with the database's formula and
// weight and an empty structure.
inline std::string HitsWithoutStructureMessage(int count) {
  return "うち " + std::to_string(count) +
         " 件は MOL ファイルを読めなかったため、構造なしで保存しました:";
}
// The SD data item of such a hit.
inline constexpr const char* kErrorItem = "error";

// --- search ----------------------------------------------------------------------

inline constexpr const char* kNoMatch = "一致する化合物はありません";
inline constexpr const char* kNoMoreData = "もうデータがありません";
inline constexpr const char* kNoFile = "ファイルがありません";
// A hit's MOL file is missing: which one (path in UTF-8).
inline std::string NoFileMessage(const std::string& path) {
  return std::string(kNoFile) + ": " + path;
}
// A record number typed into the record number box outside 1..hits.
inline std::string HitNumberMessage(int hits) {
  return "レコードNo は 1～" + std::to_string(hits) + " の番号を入力してください";
}

// Saving the hits ("検索結果を保存").
inline constexpr const char* kSaveHitsTitle = "検索結果を保存";
inline constexpr const char* kHitFileFilter = "SDファイル|*.sdf;*.sd|CSVファイル|*.csv";
inline constexpr const char* kNoHitsToSave = "保存する検索結果がありません";
inline std::string HitFileExtensionMessage(const std::string& path) {
  return path + "\nファイル名の拡張子を .sdf（SDファイル）か .csv（CSVファイル）にしてください";
}
inline std::string HitsSavedMessage(int hits, const std::string& path) {
  return "検索結果 " + std::to_string(hits) + " 件を保存しました\n" + path;
}

// --- the atom-by-atom confirmation of search hits -------------------------------

inline constexpr const char* kNoAtomMatch = "no atom-by-atom match";
// Why a screened record is unconfirmed: its match took more steps than a
// record may, or the user stopped the confirmation before it was reached.
inline constexpr const char* kMatchGivenUp = "照合を打ち切りました";
inline constexpr const char* kMatchStopped = "照合を中止しました";
// Progress dialog while the screened hits are confirmed atom by atom.
inline constexpr const char* kConfirmingHits = "原子単位で照合しています";
inline constexpr const char* kKeyGenerationFailed = "key generation failed";
// Progress dialog while MOL files are read for the connection tables.
inline constexpr const char* kReadingTables = "構造データを読み込んでいます";
inline constexpr const char* kStopReading = "中止";
// A query RDKit does not read (its reason follows, in English).
inline std::string QueryNotReadMessage(const std::string& reason) {
  return "検索構造を解釈できません: " + reason;
}
// The panel's note for a SMARTS query (searched atom by atom in any mode).
inline std::string SmartsNote(const std::string& smarts) {
  return "SMARTS（原子単位で照合）:\n" + smarts;
}
// Beside the hit count of an atom-by-atom search: screened and unconfirmed records.
inline std::string ExactCountsText(int screened, int unconfirmed) {
  return "候補 " + std::to_string(screened) + " 件中（未確認 " + std::to_string(unconfirmed) +
         " 件）";
}

// --- the similarity search --------------------------------------------------------

// Beside the hit count of a similarity search: its threshold, and the records
// that have no score (RDKit does not read their MOL file).
inline std::string SimilarCountsText(double threshold, int64_t unscored) {
  char t[16];
  std::snprintf(t, sizeof t, "%.2f", threshold);
  std::string text = std::string("類似度 ") + t + " 以上";
  if (unscored > 0) text += "（類似度なし " + std::to_string(unscored) + " 件）";
  return text;
}

// --- SMILES -------------------------------------------------------------------

// A fault of a SMILES, at its 1-based character: "SMILES の 5 文字目: <what>".
inline std::string SmilesFaultMessage(int position, const std::string& what) {
  return "SMILES の " + std::to_string(position) + " 文字目: " + what;
}
// A character as the SMILES messages quote it: 'x', or 文字 when unprintable.
inline std::string SmilesQuoted(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 32 && u < 127 ? std::string("'") + c + "'" : std::string("文字");
}
inline constexpr const char* kSmilesEmpty = "SMILES が空です";
inline constexpr const char* kSmilesNoAtoms = "SMILES に原子がありません";
inline constexpr const char* kSmilesOpenBracket = "角括弧 [ が閉じていません";
inline constexpr const char* kSmilesNoElement = "角括弧の中に元素記号がありません";
inline constexpr const char* kSmilesQuadrupleBond = "四重結合 $ は扱えません";
inline constexpr const char* kSmilesTwoBonds = "結合記号が続いています";
inline constexpr const char* kSmilesBondAtEnd = "結合記号の後に原子がありません";
inline constexpr const char* kSmilesBranchFirst = "枝 ( の前に原子がありません";
inline constexpr const char* kSmilesEmptyBranch = "枝 ( ) の中に原子がありません";
inline constexpr const char* kSmilesUnmatchedClose = "対応する ( のない ) があります";
inline constexpr const char* kSmilesOpenBranch = "( が閉じていません";
inline constexpr const char* kSmilesDotFirst = "'.' の前に原子がありません";
inline constexpr const char* kSmilesDotAtEnd = "'.' の後に原子がありません";
inline constexpr const char* kSmilesRingFirst = "環結合の番号の前に原子がありません";
inline constexpr const char* kSmilesRingTwoDigits = "% の後には二桁の環結合の番号が要ります";
inline constexpr const char* kSmilesBadRingNumber = "% の後の環結合の番号 %(n) が読めません";
inline constexpr const char* kSmilesNoKekule =
    "芳香環の二重結合を決められません（ケクレ構造がありません）";
inline std::string SmilesBadCharMessage(char c) {
  const std::string q = SmilesQuoted(c);
  return q == "文字" ? "使えない文字があります" : "使えない文字 " + q + " があります";
}
inline std::string SmilesBadInBracketMessage(char c) {
  return "角括弧の中の " + SmilesQuoted(c) + " が読めません";
}
inline std::string SmilesUnknownElementMessage(const std::string& symbol) {
  return "元素記号 " + symbol + " はありません";
}
inline std::string SmilesBadAromaticMessage(const std::string& symbol) {
  return "芳香族原子 " + symbol + " は書けません";
}
// An element outside the organic subset written without brackets.
inline std::string SmilesNeedsBracketsMessage(const std::string& symbol) {
  return "元素記号 " + symbol + " は [" + symbol + "] と角括弧の中に書きます";
}
inline std::string SmilesChargeTooLargeMessage(int charge) {
  return "電荷 " + std::to_string(charge) + " は大きすぎます";
}
inline std::string SmilesBondFirstMessage(char bond) {
  return "結合記号 " + SmilesQuoted(bond) + " の前に原子がありません";
}
inline std::string SmilesRingOpenMessage(int ring) {
  return "環結合 " + std::to_string(ring) + " が閉じていません";
}
inline std::string SmilesRingSelfMessage(int ring) {
  return "環結合 " + std::to_string(ring) + " が同じ原子を結んでいます";
}
inline std::string SmilesRingDuplicateMessage(int ring) {
  return "環結合 " + std::to_string(ring) + " は既にある結合と重なります";
}
inline std::string SmilesRingConflictMessage(int ring) {
  return "環結合 " + std::to_string(ring) + " の両端で結合の種類が違います";
}
inline std::string SmilesTooManyAtomsMessage(int capacity) {
  return "原子数が上限の " + std::to_string(capacity) + " を超えます";
}
inline std::string SmilesTooManyBondsMessage(int capacity) {
  return "結合数が上限の " + std::to_string(capacity) + " を超えます";
}

// In the editor panel, in place of a picture: the structure came as a SMILES
// (UTF-8), which has no coordinates to draw.
inline std::string SmilesNotDrawnNote(const std::string& smiles) {
  return "SMILES: " + smiles + "\n（SMILES で与えた構造は描画されません）";
}

// --- SD files ------------------------------------------------------------------

// Why record `number` of an SD file is passed over.
inline std::string SdNotMolMessage(long long number) {
  return "レコード " + std::to_string(number) + ": MOL V2000 のブロックではありません";
}
inline std::string SdTooLargeMessage(long long number) {
  return "レコード " + std::to_string(number) + ": レコードが大きすぎます";
}

// --- SD file import ----------------------------------------------------------------

inline constexpr const char* kImportFinished = "SDファイルの登録を終了しました";
inline constexpr const char* kImportStopped = "SDファイルの登録を中止しました";
inline constexpr const char* kImportProgressText = "SDファイルから登録中…";
inline constexpr const char* kSdFileFilter = "SDファイル|*.sdf;*.sd;*.sdf.gz|すべてのファイル|*";
// Before what is said about record `number` of an SD file (and the MOL file
// name it was given, UTF-8).
inline std::string SdRecordPrefix(long long number) {
  return "レコード " + std::to_string(number) + ": ";
}
inline std::string SdRecordPrefix(long long number, const std::string& fileName) {
  return "レコード " + std::to_string(number) + "（" + fileName + "）: ";
}
// A name (UTF-8) too long for a file name.
inline std::string NameTooLongMessage(const std::string& name) {
  return "化合物名「" + name +
         "」はファイル名として長すぎます（255 バイトまで）。登録しませんでした";
}
// The end of an import: counts, then the first records not registered.
inline std::string ImportCountsMessage(long long registered, long long alreadyRegistered,
                                       long long refused, long long notV2000) {
  return "登録 " + std::to_string(registered) + " 件、登録済み " +
         std::to_string(alreadyRegistered) + " 件、登録できなかったもの " +
         std::to_string(refused) + " 件、V2000 でないもの " + std::to_string(notV2000) + " 件";
}

// --- the windows: settings, choosers, the structure editor ----------------------

// Title of every message box the program shows.
inline constexpr const char* kMessageTitle = "vuduzez";
inline constexpr const char* kNoFileName = "no file name was found";
inline constexpr const char* kTooManyBytes = "too many bytes";
inline constexpr const char* kSelectFolderTitle = "フォルダの選択";
inline constexpr const char* kOpenFileTitle = "ファイルを開く";
// File chooser filters as the system writes them: description|patterns.
inline constexpr const char* kDatabaseFileFilter = "Txt|*.txt";
inline constexpr const char* kMolFileFilter = "MolFile|*.mol;*.MOL;*.mol.gz";
inline constexpr const char* kNoDatabaseFileForSearch =
    "データベースファイルが指定されていません。vuduzez.ini の [mdatafilename] "
    "を確認するか、「変更」でデータベースファイルを選んでください";
inline constexpr const char* kNoDatabaseFileForRegistration =
    "データベースファイル名が設定されていません（vuduzez.ini "
    "を確かめるか、「変更」で選んでください）";
inline constexpr const char* kNoEditor =
    "2D構造エディタが見つかりません。\n"
    "次のいずれかのパッケージをインストールしてください:\n"
    "  sudo apt-get install xdrawchem\n"
    "  sudo apt-get install bkchem\n"
    "  sudo apt-get install gchempaint\n"
    "描いた構造はMOLファイルとして保存してこの枠にドロップするか、"
    "「MOLファイルを開く」で読み込むか、MOL形式でクリップボードにコピーしてください。";
// The structure panel's hint: the editor a double-click starts on this
// machine, or how to get one.
inline std::string EditorHint(const std::string& editor) {
  return "ダブルクリックで " + editor + " を起動";
}
inline constexpr const char* kNoEditorHint =
    "ダブルクリックで構造エディタを起動（未インストール: sudo apt-get install xdrawchem など）";
inline std::string EditorNotStartedMessage(const std::string& editor) {
  return editor + " を起動できませんでした";
}

// --- the workspace: vuduzez.ini, the database file and the MOL folder ------------

// No vuduzez.ini in any of the folders looked in (UTF-8 paths, in order).
inline std::string SettingsNotFoundMessage(const std::string& folders) {
  return std::string(kFileNotFound) + ": vuduzez.ini（探したフォルダ: " + folders + "）";
}
// The first start: what the program offers when it finds no vuduzez.ini.
inline std::string FirstStartQuestion(const std::string& folders, const std::string& dataFolder) {
  return "vuduzez.ini が見つかりません。\n探したフォルダ: " + folders +
         "\n\n新しい作業場所を作りますか？ データベースファイルと mole file 収納フォルダを " +
         dataFolder +
         " に作り、設定を vuduzez.ini に保存します。\n既にある vuduzez.ini "
         "を選ぶこともできます。";
}
inline constexpr const char* kCreateWorkspaceButton = "新しく作成";
inline constexpr const char* kChooseIniButton = "vuduzez.ini を選ぶ";
inline constexpr const char* kQuitButton = "終了";
inline constexpr const char* kChooseIniTitle = "vuduzez.ini の選択";
inline constexpr const char* kIniFileFilter = "vuduzez.ini|vuduzez.ini;*.ini|すべてのファイル|*";
inline std::string WorkspaceCreatedMessage(const std::string& database,
                                           const std::string& molFolder, const std::string& ini) {
  return "作業場所を作りました。\nデータベースファイル: " + database +
         "\nmole file 収納フォルダ: " + molFolder + "\n設定: " + ini;
}
// Neither HOME nor the XDG folders say where a workspace could go.
inline constexpr const char* kNoHomeFolder =
    "作業場所を作るフォルダが分かりません（HOME も XDG_CONFIG_HOME / XDG_DATA_HOME "
    "も設定されていません）";

// An SD file given to the program on its command line (a file manager's "open").
inline std::string ImportSdQuestion(const std::string& sdFile) {
  return "SDファイル " + sdFile + " の各構造をデータベースに登録しますか？";
}

// --- the sketcher ------------------------------------------------------------------

// A drawing step that would go beyond the molecule tables.
inline constexpr const char* kSketchTooLarge = "原子は200個、結合は300本まで描けます";
// The periodic table of the "…" element button.
inline constexpr const char* kPeriodicTableTitle = "元素の選択";
inline constexpr const char* kCancelButton = "キャンセル";
// The sketcher's status line for an atom drawn with more bonds than it takes.
inline std::string OverValenceMessage(const std::string& symbol, int bonds, int allowed) {
  return symbol + " が " + std::to_string(bonds) + " 価になっています（原子価は " +
         std::to_string(allowed) + " まで）";
}

}  // namespace vuduzez
