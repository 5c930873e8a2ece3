#!/usr/bin/env bash
# Plants known faults, one at a time, in a copy of the source tree and reports which of them
# the tests catch. It is a report, not a check: missed faults do not fail it.
#
#   scripts/mutants.sh                 every fault
#   scripts/mutants.sh ID|WORD ...     the faults whose id is ID, or whose id or file contains WORD
#   scripts/mutants.sh --list          the faults, and whether each still applies, without building
#
# ORVO_MUTANTS_DIR   scratch folder (default /tmp/orvo-mutants-<uid>); its build is reused
# ORVO_MUTANTS_TESTDATA  the Access sample files (default: ../shared/testdata beside the tree)
# ORVO_MUTANTS_TIMEOUT   ctest --timeout for tests without a limit of their own (default 120)
# JOBS               build and test jobs (default 2)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WORK=${ORVO_MUTANTS_DIR:-/tmp/orvo-mutants-$(id -u)}
TESTDATA=${ORVO_MUTANTS_TESTDATA:-$ROOT/../shared/testdata}
TEST_TIMEOUT=${ORVO_MUTANTS_TIMEOUT:-120}
JOBS=${JOBS:-2}

F_ID=()
F_FILE=()
F_FROM=()
F_TO=()
F_WHAT=()

# fault ID FILE ORIGINAL REPLACEMENT WHAT: ORIGINAL must occur exactly once in FILE.
fault()
{
    F_ID+=("$1")
    F_FILE+=("$2")
    F_FROM+=("$3")
    F_TO+=("$4")
    F_WHAT+=("$5")
}

# ---------------------------------------------------------------------------------------------
# src/store, src/repair, src/exchange
fault store-row-read-busy src/store/RecordRowReader.cpp \
    $'step == SQLITE_DONE ? Outcome::success() : OrvoDatabase::readFailure(handle);\n    m_statement.reset();' \
    $'step != SQLITE_ERROR ? Outcome::success() : OrvoDatabase::readFailure(handle);\n    m_statement.reset();' \
    "a record read broken off by another program's lock shows as an empty record"
fault store-file-order-block src/store/RecordRowReader.cpp \
    'std::ptrdiff_t(std::min(sorted.size(), from + ReadAhead))' \
    'std::ptrdiff_t(std::min(sorted.size(), from + ReadAhead - 1))' \
    "a print of a list spread thin over the file writes every 256th record as if another program had deleted it"
fault store-list-range-binary src/store/RecordKeys.cpp \
    'const qsizetype endOfTexts = all.keys.size() - all.binaryDescriptions;' \
    'const qsizetype endOfTexts = all.keys.size();' \
    "a letter taken from the list counts descriptions stored as binary data among the texts"
fault store-contains-kelvin src/store/RecordKeys.cpp \
    "const bool foldsFromBeyondAscii = needle.contains('s') || needle.contains('k');" \
    'const bool foldsFromBeyondAscii = false;' \
    "a Description search for a word with k or s misses the descriptions with a kelvin sign or long s"
fault print-byte-order-mark src/printing/ResultListExport.cpp \
    'stored && stored->isValidUtf8() && !stored->startsWith("\xEF\xBB\xBF")' \
    'stored && stored->isValidUtf8()' \
    "the print writes a description's leading byte order mark, which the record view drops"
fault store-number-members src/store/QueryPlanner.cpp \
    $'" WHERE Value = ?1", {*number}};' \
    $'" WHERE Value LIKE ?1 || \'%\'", {*number}};' \
    "a plain frequency search for 728 also lists the records that hold 7280 or 728.5"
fault store-like-number-text src/store/QueryPlanner.cpp \
    'return number ? std::optional<QString>(number->text()) : std::nullopt;' \
    'return number ? std::optional<QString>(query.text.trimmed()) : std::nullopt;' \
    "a frequency search for 728.0 no longer finds a field holding 728"
fault store-rowid-reuse src/store/OrvoDatabase.cpp \
    '"FROM Main), 0)) + 1 FROM MainRowids), %2)")' \
    '"FROM Main), 0)) + 1 FROM MainRowids WHERE 0), %2)")' \
    "a new record takes the rowid of the newest record deleted, where a stale window may still write"
fault store-word-like-blank src/query/QueryTexts.cpp \
    'QStringLiteral(" From Main WHERE ((Main.Comments Like ");' \
    'QStringLiteral(" From Main WHERE ((Main.Comments Like");' \
    "a comments search's query text loses the blank between Like and its first pattern"
fault store-word-contains-star src/query/QueryTexts.cpp \
    $'QLatin1String("*\'") + next' \
    $'QLatin1String("\'") + next' \
    "a word search no longer finds the word inside a text, only at its start or end"
fault store-letter-star src/query/QueryTexts.cpp \
    $'+ quoted(letter) + QLatin1String("*\'") + End;' \
    $'+ quoted(letter) + QLatin1String("\'") + End;' \
    "a letter item lists only descriptions that are just that letter"
fault store-comments-only src/query/QueryTexts.cpp \
    '        if (description)
            query += wordTerms(descriptionNext' \
    '        if (!description)
            query += wordTerms(descriptionNext' \
    "a Comments search also reads descriptions, and Description + Comments reads only comments"
fault store-frequency-f40 src/query/QueryTexts.cpp \
    'for (int n = 2; n <= RecordFields::Frequencies; ++n)
        query += QStringLiteral(" Or Main.F") + QString::number(n) + QStringLiteral(" Like ") + text;' \
    'for (int n = 2; n < RecordFields::Frequencies; ++n)
        query += QStringLiteral(" Or Main.F") + QString::number(n) + QStringLiteral(" Like ") + text;' \
    "a frequency search's query text leaves out F40"
fault store-plan-f40 src/store/QueryPlanner.cpp \
    'for (int n = 1; n <= RecordFields::Frequencies; ++n)' \
    'for (int n = 1; n < RecordFields::Frequencies; ++n)' \
    "a frequency search never finds a value that is stored in F40"
fault store-find-value-one src/query/FindSearch.cpp \
    'if (leadingNumber(text) < 1.0) {' \
    'if (leadingNumber(text) <= 1.0) {' \
    "a frequency search for 1 is refused as a value below 1"
fault store-find-trailing-point src/query/FindSearch.cpp \
    'if (DecimalNumber::isPlainWithBlanks(text))' \
    "if (DecimalNumber::isPlainWithBlanks(text) && !text.trimmed().endsWith(QLatin1Char('.')))" \
    'a frequency search for "728." asks for a number instead of running'
fault store-order-nocase src/store/QueryPlanner.cpp \
    'const QByteArray ListOrder = " ORDER BY Main.Description COLLATE NOCASE, Main.rowid";' \
    'const QByteArray ListOrder = " ORDER BY Main.Description, Main.rowid";' \
    "lists put every capitalised description before the lower-case ones"
fault store-stale-save-silent src/store/Data1.cpp \
    '    if (query.numRowsAffected() != 1)
        return Outcome::failure(ChangedElsewhere);
    m_list.reset();
    if (!adding) {' \
    '    m_list.reset();
    if (!adding) {' \
    "a save over a record that another program changed or deleted reports success and stores nothing"
fault store-read-slot src/store/RecordRowReader.cpp \
    'sqlite3_bind_int64(statement, i + 1, keyAt(i));' \
    'sqlite3_bind_int64(statement, i, keyAt(i));' \
    "the first record of every block of keys reads as empty (parameter slot off by one)"
fault store-csv-empty-text src/exchange/CsvWriter.cpp \
    'const bool quoted = value->isEmpty() ||
                        std::any_of(' \
    'const bool quoted = std::any_of(' \
    "a CSV export writes an empty text like a null, so it is imported back as null"
fault store-import-repeat src/exchange/RecordImport.cpp \
    '                continue;
            }
            keys.insert(key);
' \
    '                continue;
            }
' \
    "--skip-duplicates keeps a record that repeats one imported just before it"
fault store-csv-quoted-empty src/exchange/CsvReader.cpp \
    'value = QLatin1String(""); // empty text, not null' \
    'value = QString();' \
    'a CSV field "" is imported as a null instead of an empty text'
fault store-repair-title src/repair/DatabaseRepair.cpp \
    'return ok && !damaged ? QStringLiteral("Good News !")' \
    'return ok ? QStringLiteral("Good News !")' \
    "a repair that found damage is still titled Good News !"
fault store-repair-unchecked-copy src/repair/DatabaseRepair.cpp \
    '        if (!damaged) {
            begin(Step::CheckCopy);
            if (const Outcome o = checked(Step::CheckCopy, checkCopy(expectedRecords, &damaged)); !o)
                return fail(result, Step::CheckCopy, o.error);
        }
' \
    '' \
    "the compacted copy replaces the database unchecked, so damage copied over is never salvaged"
fault store-repair-permissions src/repair/DatabaseRepair.cpp \
    '    QFile::setPermissions(m_temporaryPath, QFileInfo(m_databasePath).permissions());
' \
    '' \
    "a repaired database gets default permissions: a private file becomes readable by others"
fault store-repair-message src/repair/DatabaseRepair.cpp \
    'QStringLiteral("FREQ.MDB file successfully repaired and compacted.")' \
    'QStringLiteral("freqs.mdb file successfully repaired and compacted.")' \
    "the repair's success message names the file differently"
fault store-repair-lock src/repair/DatabaseRepair.cpp \
    'if (const Outcome locked = lock.acquire(m_databasePath); !locked)' \
    'if (const Outcome locked = Outcome::success(); !locked)' \
    "another program commits to the original while it is repaired, and its records go with the old file"
fault store-check-cut-short src/store/SqliteFile.cpp \
    'if (pageSize == 0 || file.size() >= number(28, 4) * pageSize)' \
    'if (pageSize == 0 || file.size() + pageSize > number(28, 4) * pageSize)' \
    "a file cut short by less than a page passes the check, and Repair says Good News"
fault store-output-special src/store/OutputFile.cpp \
    ': m_direct(QFileInfo::exists(path) && !QFileInfo(path).isFile())' \
    ': m_direct(false)' \
    "an export to a pipe or a device renames a file over the node instead of writing to it"
fault store-export-blob src/exchange/RecordExport.cpp \
    'if (value.typeId() == QMetaType::QByteArray)' \
    'if (false)' \
    "an export writes binary data as replacement characters instead of refusing it"
fault store-freq-zero src/store/FrequencyText.cpp \
    'if (number && *number > 0) {' \
    'if (number && *number >= 0) {' \
    "frequency lists show the empty 0 slots as 0"
fault store-freq-leading-comma src/store/FrequencyText.cpp \
    'if (fieldNumber > 1) {' \
    'if (!text.isEmpty()) {' \
    "a frequency list without F1 loses its leading comma"
fault store-freq-exponent src/store/FrequencyText.cpp \
    "    std::replace(text, end, 'e', 'E');
" \
    '' \
    "very large and very small frequencies are written with a lower-case e"
fault store-number-sign-blank src/store/FrequencyText.cpp \
    "    if (!negative) {
        *--text = ' ';
    }
" \
    '' \
    "positive numbers lose the blank in their sign place (frequency lists, count label, build number)"
fault store-access-rename-failed src/exchange/AccessConversion.cpp \
    '    result.records = built.records;
    if (!result.outcome)
        return result;
' \
    '    result.records = built.records;
' \
    "a conversion that failed still renames the Access file away and puts the broken copy in its place"
fault store-like-digit-nine src/query/JetLike.cpp \
    "return c >= '0' && c <= '9';" \
    "return c >= '0' && c < '9';" \
    "# in a search pattern no longer matches the digit 9"
fault store-band-reversed src/query/FrequencyBand.cpp \
    'return *b < *a ? FrequencyBand(*b, *a) : FrequencyBand(*a, *b);' \
    'return FrequencyBand(*a, *b);' \
    "a range typed high end first (730-720) finds nothing"
fault store-band-percent src/query/FrequencyBand.cpp \
    '(*a * *b).shifted(-2)' \
    '(*a * *b).shifted(-1)' \
    "a percent tolerance is read as ten times wider"
fault store-band-upper-bound src/query/FrequencyBand.cpp \
    'm_low <= *value && *value <= m_high;' \
    'm_low <= *value && *value < m_high;' \
    "a value written exactly at a band's upper bound is not found"
fault store-band-negative src/query/FrequencyBand.cpp \
    'if (value <= 0 || value < *m_lowDouble' \
    'if (value < 0 || value < *m_lowDouble' \
    "a field holding 0 is found by a band that reaches down to 0"
fault store-band-slack src/store/QueryPlanner.cpp \
    'const double to = *band.highDouble() + std::fabs(*band.highDouble()) * Slack + 1e-300;' \
    'const double to = *band.highDouble();' \
    "the index range of a band can drop a value at its upper bound that the double rounds above it"
fault store-installed-portable src/store/AppLocation.cpp \
    'if (QFileInfo::exists(folder.filePath(QStringLiteral("../share/applications/orvo.desktop"))))' \
    'if (false)' \
    "an installed copy that can write beside itself (root's /usr/bin) keeps its database there"
fault exchange-header-twice src/exchange/FieldMapping.cpp \
    'if (exact >= 0 && columns.lastIndexOf(name) != exact)' \
    'if (exact > 0 && columns.lastIndexOf(name) != exact)' \
    "a header naming Description twice is reported as a left-out column"
fault data-tool-singular src/data_tool/DataTool.cpp \
    '.arg(count == 1 ? "" : "s")' \
    '.arg(count > 1 ? "s" : "")' \
    "orvo-data says \"Imported 0 record\""

# ---------------------------------------------------------------------------------------------
# src/main_window
fault main-count-blank src/main_window/Form1.cpp \
    'QStringLiteral("Results : ") + FrequencyText::written(count)' \
    'QStringLiteral("Results :") + FrequencyText::written(count)' \
    "count label loses the blank before the number"
fault main-count-found-blank src/main_window/Form1.cpp \
    'QStringLiteral(" records found")' \
    'QStringLiteral("records found")' \
    'count label runs the number into "records found"'
fault main-count-start src/main_window/Form1.cpp \
    'QStringLiteral("Label2_0"), QStringLiteral("Results :"),' \
    'QStringLiteral("Label2_0"), QStringLiteral("Results : "),' \
    "count label gains a trailing blank before the first search"
fault main-title src/main_window/Form1.cpp \
    'QStringLiteral("Orvo - v %1.%2")' \
    'QStringLiteral("Orvo - v%1.%2")' \
    "main window title loses the blank before the version"
fault main-view-no-comments src/main_window/Form1.cpp \
    'Text2->setPlainText(comments.isEmpty() ? QStringLiteral("No Comments") : comments);' \
    'Text2->setPlainText(comments.isEmpty() ? QStringLiteral("No Comment") : comments);' \
    "the record view shows No Comment (singular) for a record without comments"
fault main-buffer-no-comment src/main_window/Form1.cpp \
    'shared.BufComments[n] = comments.isEmpty() ? QStringLiteral("No Comment") : comments;' \
    'shared.BufComments[n] = comments.isEmpty() ? QStringLiteral("No Comments") : comments;' \
    "Send to Buffer stores No Comments (plural) for a record without comments"
fault main-buffer-limit src/main_window/Form1.cpp \
    'if (shared.BufNext > Module1::BufferSlots) {' \
    'if (shared.BufNext >= Module1::BufferSlots) {' \
    "the buffer says it is full at 499 records and refuses the 500th"
fault main-rule-frequencies src/main_window/Form1.cpp \
    '        Check1[0]->setChecked(false);
        Check1[1]->setChecked(false);' \
    '        Check1[0]->setChecked(false);' \
    "ticking Frequencies leaves Comments ticked"
fault main-rule-comments src/main_window/Form1.cpp \
    'if (index == 0 || index == 1) {' \
    'if (index == 0) {' \
    "ticking Comments unticks Description and Comments itself instead of Frequencies"
fault main-delete-style src/main_window/Form1.cpp \
    'QStringLiteral("Delete A Record"), MessageBoxes::OkCancel);' \
    'QStringLiteral("Delete A Record"), MessageBoxes::OkOnly);' \
    "the delete question has no Cancel button"
fault main-delete-prompt src/main_window/Form1.cpp \
    'permanently DELETE the select record !' \
    'permanently DELETE the selected record !' \
    "the delete question's fixed wording is corrected"
fault main-buffer-start src/main_window/Form1.cpp \
    '    shared.BufNext = 1;
    Command7->setFocus();' \
    '    shared.BufNext = 0;
    Command7->setFocus();' \
    "the first record sent to the buffer lands in the unused slot 0 and never shows"
fault main-start-option src/main_window/Form1.cpp \
    '    Check1[0]->setChecked(true);' \
    '    Check1[1]->setChecked(true);' \
    "Comments instead of Description is ticked at start"
fault main-refused-search src/main_window/Form1.cpp \
    '    if (const Outcome ran = runQuery(search); !ran) {
        module().QuerySql = previousText;' \
    '    if (const Outcome ran = runQuery(search); !ran) {' \
    "after a search the database refuses, QuerySql keeps the refused query"
fault main-results-current src/main_window/Form1.cpp \
    '    m_data1.moveToEnd();
    module().ResultCount' \
    '    module().ResultCount' \
    "after a search the first record is current, so Send to Buffer and Edit work without a selection"
fault main-repair-search-text src/main_window/Form1.cpp \
    '    Text1->clear();
    Text2->clear();' \
    '    Text2->clear();' \
    "Repair and Compact leaves the search text in its box"
fault main-letter-c-name src/main_window/Form1.cpp \
    "letter == 'c' ? QStringLiteral(\"C\") : lower" \
    'lower' \
    "the letter item C loses its capital object name"
fault main-about-once src/main_window/Form1.cpp \
    '    if (!m_form4) {' \
    '    if (true) {' \
    "Tips and About opens a second window instead of raising the open one"
fault main-menu-font src/main_window/Form1.cpp \
    '    file->setFont(menuBar()->font());
' \
    '' \
    "the File menu's items take the desktop's font instead of the menu bar's"

# ---------------------------------------------------------------------------------------------
# src/editor
fault editor-comments-untouched src/editor/Form2.cpp \
    'comments == m_commentsShown ? m_commentsLoaded' \
    'comments != m_commentsShown ? m_commentsLoaded' \
    "an edit rewrites the line breaks of comments the user never touched"
fault editor-typed-break src/editor/RecordForm.cpp \
    'comments += QLatin1String("\r\n");' \
    'comments += QLatin1String("\n");' \
    "a line break typed into the comments is stored as a bare line feed"
fault editor-description-start src/editor/Form2.cpp \
    '        Text1->setCursorPosition(0);
' \
    '' \
    "the editor shows a long description scrolled to its end"
fault editor-new-title src/editor/Form2.cpp \
    'QStringLiteral("Orvo - NEW Database Entry")' \
    'QStringLiteral("Orvo - New Database Entry")' \
    "the new-record editor's title loses its capitals"
fault editor-new-old-caption src/editor/Form2.cpp \
    '        Text4->setVisible(false);
        Label4->setVisible(false);' \
    '        Text4->setVisible(false);' \
    "the new-record editor shows the caption of the frequencies before editing"
fault editor-edit-old-frequencies src/editor/Form2.cpp \
    '        Text4->setPlainText(shared.FreqString);
' \
    '' \
    "editing a record no longer shows its frequencies as they were before the edit"
fault editor-no-description-title src/editor/Form2.cpp \
    'QStringLiteral("No Data In Description")' \
    'QStringLiteral("No Data in Description")' \
    "the box about an empty description has a wrong title"
fault editor-defaults-skipped src/editor/Form2.cpp \
    'const RecordForm record = typedRecord().withStoredDefaults();' \
    'const RecordForm record = typedRecord();' \
    "a record saved with empty boxes stores empty texts instead of No Comments and 0"
fault editor-select-whole src/editor/Form2.cpp \
    'box->setSelection(0, box->text().size());' \
    'box->setSelection(0, box->text().size() - 1);' \
    "entering a frequency box selects all but its last character"
fault editor-row-captions src/editor/Form2.cpp \
    'QStringLiteral("F%1").arg(10 * row + 1)' \
    'QStringLiteral("F%1").arg(10 * row)' \
    "the frequency rows are captioned F0, F10, F20, F30"
fault editor-stored-no-comments src/editor/RecordForm.cpp \
    'const QString NoComments = QStringLiteral("No Comments");' \
    'const QString NoComments = QStringLiteral("No Comment");' \
    "the editor stores and shows No Comment (singular) for empty comments"
fault editor-stored-zero src/editor/RecordForm.cpp \
    'const QString EmptyFrequency = QStringLiteral("0");' \
    'const QString EmptyFrequency = QStringLiteral("");' \
    "empty frequency boxes are stored as empty texts instead of 0"
fault editor-field-slot src/editor/RecordForm.cpp \
    'return QStringLiteral("F%1").arg(box + 1);' \
    'return QStringLiteral("F%1").arg(box);' \
    "every frequency box is read from and stored into the field before its own"

# ---------------------------------------------------------------------------------------------
# src/buffer
fault buffer-header-spacer src/buffer/BufferExport.cpp \
    '    out.line(ExportText::headerLine(now, DateBlanks));
    out.line(spacer);
' \
    '    out.line(ExportText::headerLine(now, DateBlanks));
' \
    "the buffer export loses the blank line after its header"
fault buffer-frequencies-blank src/buffer/BufferExport.cpp \
    'QStringLiteral("Frequencies: ")' \
    'QStringLiteral("Frequencies:")' \
    "the buffer export's frequency lines lose the blank after the colon"
fault buffer-export-extra src/buffer/BufferExport.cpp \
    'for (int n = 1; n < shared.BufNext && n <= Module1::BufferSlots; ++n) {' \
    'for (int n = 1; n <= shared.BufNext && n <= Module1::BufferSlots; ++n) {' \
    "the buffer export writes an empty entry after the last one"
fault buffer-date-blanks src/buffer/BufferExport.h \
    'constexpr int DateBlanks = 3;' \
    'constexpr int DateBlanks = 2;' \
    "the buffer export's date stands two blanks after the time instead of three"
fault buffer-title src/buffer/Form3.cpp \
    'QStringLiteral("Orvo - Buffer Management")' \
    'QStringLiteral("Orvo - Buffer Manager")' \
    "the buffer window has a wrong title"
fault buffer-entry-slot src/buffer/Form3.cpp \
    'Text1->setPlainText(shared.BufComments[row + 1]);' \
    'Text1->setPlainText(shared.BufComments[row]);' \
    "the buffer window shows the comments of the entry before the selected one"
fault buffer-last-entry src/buffer/Form3.cpp \
    'for (int n = 1; n <= entries; ++n)' \
    'for (int n = 1; n < entries; ++n)' \
    "the buffer window's list leaves out the last entry"
fault buffer-clear-keeps src/buffer/Form3.cpp \
    '    m_main.module().BufNext = 1;
    List1->clear();' \
    '    List1->clear();' \
    "Clear Buffer empties the list, but the buffer keeps its entries"

# ---------------------------------------------------------------------------------------------
# src/printing
fault print-date-blanks src/printing/ResultListExport.cpp \
    'out.line(ExportText::headerLine(now, 2));' \
    'out.line(ExportText::headerLine(now, 3));' \
    "the result-list export's date stands three blanks after the time instead of two"
fault print-comments-box src/printing/ResultListExport.cpp \
    'if (options.comments)' \
    'if (options.frequencies)' \
    "the comments lines follow the Print frequencies box instead of Print comments"
fault print-blank-line src/printing/ResultListExport.cpp \
    '        if (options.blankLine)
            out.line(QStringLiteral(" "));' \
    '        if (options.blankLine)
            out.line(QString());' \
    "the line between records is empty instead of one blank"
fault print-field-shift src/printing/ResultListExport.cpp \
    'data1.field(names.at(number + 1))' \
    'data1.field(names.at(number))' \
    "printed frequency lists are read one field early (Comments as F1, F40 left out)"
fault print-no-frequencies src/printing/ResultListExport.h \
    'QStringLiteral("No Frequencies Listed - See Comments")' \
    'QStringLiteral("No Frequencies Listed")' \
    'a record without frequencies is printed without "- See Comments"'
fault print-noon src/printing/ExportText.cpp \
    'time.hour() < 12 ? QStringLiteral("am")' \
    'time.hour() <= 12 ? QStringLiteral("am")' \
    "exports written between noon and 1 pm are stamped am"
fault print-hour-twelve src/printing/ExportText.cpp \
    'const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;' \
    'const int hour = time.hour() % 12;' \
    "exports written in the hour after midnight or noon are stamped 0:mm instead of 12:mm"
fault print-date-comma src/printing/ExportText.cpp \
    'QStringLiteral("%1,%2 %3")' \
    'QStringLiteral("%1, %2 %3")' \
    "the export date gains a blank after the comma"
fault print-header-blanks src/printing/ExportText.cpp \
    'QStringLiteral("Frequency Selection   ")' \
    'QStringLiteral("Frequency Selection  ")' \
    "the export header has two blanks before the time instead of three"
fault print-bare-lf src/printing/ExportText.cpp \
    'm_pending.append(text).append("\r\n");' \
    'm_pending.append(text.toByteArray().replace("\n", "\r\n")).append("\r\n");' \
    "a comment's bare line feed is written to freq.txt as CR LF"
fault print-viewer-after-failure src/printing/ExportPreview.cpp \
    '        services.messages.inform(parent, written.error, title);
        return false;' \
    '        services.messages.inform(parent, written.error, title);' \
    "the viewer is started even when the file could not be written"
fault print-title src/printing/Form5.cpp \
    'QStringLiteral("Orvo - Print Results List")' \
    'QStringLiteral("Orvo - Print Result List")' \
    "the print window has a wrong title"
fault print-frequencies-caption src/printing/Form5.cpp \
    'QStringLiteral("Print frequencies")' \
    'QStringLiteral("Print Frequencies")' \
    "the Print frequencies box is captioned with a capital F"
fault print-progress-minimum src/printing/Form5.cpp \
    'ProgressBar1->setMinimum(1);' \
    'ProgressBar1->setMinimum(0);' \
    "the print progress bar starts empty instead of at its first step"

# ---------------------------------------------------------------------------------------------
# src/about
fault about-build-blank src/about/AboutText.cpp \
    'QStringLiteral("Welcome to Orvo version %1.%2 - build ")' \
    'QStringLiteral("Welcome to Orvo version %1.%2 - build")' \
    "the welcome line has one blank before the build number instead of two"
fault about-paragraphs src/about/AboutText.cpp \
    'join(QStringLiteral("\r\n\r\n"))' \
    'join(QStringLiteral("\r\n"))' \
    "the about text's paragraphs run together without a blank line between them"
fault about-wording src/about/AboutText.cpp \
    "and typo's found, were corrected." \
    "and typos found were corrected." \
    "the about text's fixed wording is corrected"
fault about-version-order src/about/AboutText.cpp \
    'compose(ORVO_VERSION_MAJOR, ORVO_VERSION_MINOR, ORVO_VERSION_REVISION)' \
    'compose(ORVO_VERSION_MAJOR, ORVO_VERSION_REVISION, ORVO_VERSION_MINOR)' \
    "the welcome line swaps the minor version and the build number"
fault about-title src/about/Form4.cpp \
    'QStringLiteral("Orvo - Tips and About")' \
    'QStringLiteral("Orvo - Tips & About")' \
    "the tips and about window has a wrong title"
fault about-font-size src/about/Form4.cpp \
    'QFont serif(QStringLiteral("Times New Roman"), 12, QFont::Normal);' \
    'QFont serif(QStringLiteral("Times New Roman"), 10, QFont::Normal);' \
    "the about text is set in 10 point instead of 12"
fault about-close-caption src/about/Form4.cpp \
    'new QPushButton(QStringLiteral("Close"), this)' \
    'new QPushButton(QStringLiteral("Exit"), this)' \
    "the about window's button reads Exit instead of Close"
fault about-dark-text src/about/Form4.cpp \
    '    grey.setColor(QPalette::Text, Qt::black);' \
    '' \
    "under a dark desktop the about text is light grey on the grey box"

# ---------------------------------------------------------------------------------------------

usage()
{
    sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}"
}

die()
{
    echo "mutants: $*" >&2
    exit 1
}

# occurrences FILE TEXT: how many times TEXT occurs in FILE, byte for byte.
occurrences()
{
    MUTANT_FILE=$1 MUTANT_FROM=$2 python3 -c '
import os
with open(os.environ["MUTANT_FILE"], "rb") as f:
    print(f.read().count(os.fsencode(os.environ["MUTANT_FROM"])))'
}

# plant FILE FROM TO: replaces the one occurrence of FROM.
plant()
{
    MUTANT_FILE=$1 MUTANT_FROM=$2 MUTANT_TO=$3 python3 -c '
import os
path = os.environ["MUTANT_FILE"]
with open(path, "rb") as f:
    data = f.read()
old, new = os.fsencode(os.environ["MUTANT_FROM"]), os.fsencode(os.environ["MUTANT_TO"])
assert data.count(old) == 1
with open(path, "r+b") as f:
    f.write(data.replace(old, new))
    f.truncate()'
}

check_faults()
{
    local -A seen=()
    local i
    for i in "${!F_ID[@]}"; do
        [[ -z ${seen[${F_ID[i]}]:-} ]] || die "fault id ${F_ID[i]} is used twice"
        seen[${F_ID[i]}]=1
        [[ ${F_FROM[i]} != "${F_TO[i]}" ]] || die "fault ${F_ID[i]} replaces its text with itself"
        [[ -n ${F_FROM[i]} ]] || die "fault ${F_ID[i]} has no original text"
    done
}

LIST_ONLY=0
FILTERS=()
for arg in "$@"; do
    case $arg in
    -h | --help) usage; exit 0 ;;
    --list) LIST_ONLY=1 ;;
    -*) die "unknown option $arg (see --help)" ;;
    *) FILTERS+=("$arg") ;;
    esac
done

check_faults
SELECTED=()
for i in "${!F_ID[@]}"; do
    if ((${#FILTERS[@]} == 0)); then
        SELECTED+=("$i")
        continue
    fi
    for filter in "${FILTERS[@]}"; do
        if [[ ${F_ID[i]} == *"$filter"* || ${F_FILE[i]} == *"$filter"* ]]; then
            SELECTED+=("$i")
            break
        fi
    done
done
((${#SELECTED[@]} > 0)) || die "no fault matches: ${FILTERS[*]}"

# Where the text stands in FILE of TREE: "" when it occurs once, otherwise why it is stale.
staleness()
{
    local tree=$1 i=$2 count
    [[ -f $tree/${F_FILE[i]} ]] || { echo "file is gone"; return; }
    count=$(occurrences "$tree/${F_FILE[i]}" "${F_FROM[i]}")
    ((count == 1)) || echo "text found $count times"
}

if ((LIST_ONLY)); then
    for i in "${SELECTED[@]}"; do
        why=$(staleness "$ROOT" "$i")
        printf '%-30s %-6s %-38s %s\n' "${F_ID[i]}" "${why:+STALE}" "${F_FILE[i]}" "${F_WHAT[i]}${why:+ ($why)}"
    done
    exit 0
fi

SRC=$WORK/src
BUILD=$WORK/build
LOGS=$WORK/logs
mkdir -p "$WORK"
exec 9>"$WORK/.lock"
flock -n 9 || die "another run is using $WORK"
START=$(date +%s)

# Only files whose content differs from the last copy are copied, and they take the time of
# the copy: a rerun rebuilds what changed since, and never takes a changed file for an older
# one that it compiled already (keeping the checkout's times could). Files that held a fault
# when the last run ended are touched so that their objects are rebuilt.
echo "== copying $ROOT to $SRC"
rm -rf "$LOGS"
mkdir -p "$SRC" "$LOGS"
(cd "$ROOT" && find . \( -path ./.git -o -path './build*' \) -prune -o -type f -print) | sort >"$LOGS/files"
while IFS= read -r file; do
    cmp -s "$ROOT/$file" "$SRC/$file" || { mkdir -p "$(dirname "$SRC/$file")" && cp "$ROOT/$file" "$SRC/$file"; }
done <"$LOGS/files"
(cd "$SRC" && find . -type f -print) | sort | comm -13 "$LOGS/files" - | (cd "$SRC" && xargs -r -d '\n' rm -f)
DIRTY=$BUILD/mutants-planted-files
if [[ -f $DIRTY ]]; then
    while IFS= read -r file; do
        [[ -f $SRC/$file ]] && touch "$SRC/$file"
    done <"$DIRTY"
    : >"$DIRTY"
fi
# The Access tests find their sample files beside the tree, as in the checkout.
mkdir -p "$WORK/shared"
rm -f "$WORK/shared/testdata"
if [[ -d $TESTDATA ]]; then
    ln -s "$(cd "$TESTDATA" && pwd)" "$WORK/shared/testdata"
else
    echo "   no Access sample files at $TESTDATA: the Access tests will skip"
fi

echo "== configuring and building in $BUILD"
# Every fault relinks most test executables: without debug information, and with lld where it
# is installed, a link takes a fraction of the time. Neither changes what the tests see.
LINKER=()
command -v ld.lld >/dev/null && LINKER=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_BENCH=OFF "${LINKER[@]}" >"$LOGS/configure.log" 2>&1 ||
    die "configuring failed; see $LOGS/configure.log"
touch "$DIRTY"
cmake --build "$BUILD" -j"$JOBS" >"$LOGS/build.log" 2>&1 || die "the unchanged tree does not build; see $LOGS/build.log"

export QT_QPA_PLATFORM=offscreen

# failed_tests LOG: the names of the tests that ctest reported as not passed.
failed_tests()
{
    sed -nE '/Test +#[0-9]+: /{/ Passed /d;/\*\*\*Skipped /d;s/.*Test +#[0-9]+: ([^ ]+) .*/\1/p}' "$1" | paste -sd, -
}

# run_tests LOG DIR [ctest arguments]: 0 when every test passed.
run_tests()
{
    local log=$1 dir=$2
    shift 2
    ctest --test-dir "$dir" --timeout "$TEST_TIMEOUT" --stop-on-failure --output-on-failure -j"$JOBS" "$@" \
        >>"$log" 2>&1
}

echo "== running the tests on the unchanged tree"
if ! run_tests "$LOGS/baseline.log" "$BUILD"; then
    die "the unchanged tree fails $(failed_tests "$LOGS/baseline.log"); see $LOGS/baseline.log"
fi

PLANTED_FILE=
restore()
{
    if [[ -n $PLANTED_FILE ]]; then
        # Written over, not copied with its old time: the next build must see the change.
        cat "$WORK/planted.orig" >"$SRC/$PLANTED_FILE"
        cmp -s "$WORK/planted.orig" "$SRC/$PLANTED_FILE" || die "could not restore $PLANTED_FILE"
        PLANTED_FILE=
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

caught=0 missed=0 stale=0 nobuild=0 errors=0
MISSED_IDS=() STALE_IDS=() NOBUILD_IDS=() ERROR_IDS=()
echo "== planting ${#SELECTED[@]} faults (logs in $LOGS)"
printf '%-30s %-8s %-24s %s\n' fault result "caught by" "what it breaks"
for i in "${SELECTED[@]}"; do
    id=${F_ID[i]}
    file=${F_FILE[i]}
    log=$LOGS/$id.log
    by=-
    why=$(staleness "$SRC" "$i")
    if [[ -n $why ]]; then
        result=STALE
        by="($why)"
        stale=$((stale + 1))
        STALE_IDS+=("$id")
    else
        cp "$SRC/$file" "$WORK/planted.orig"
        echo "$file" >>"$DIRTY"
        PLANTED_FILE=$file
        plant "$SRC/$file" "${F_FROM[i]}" "${F_TO[i]}"
        if ! cmake --build "$BUILD" -j"$JOBS" >"$log" 2>&1; then
            result=NOBUILD
            nobuild=$((nobuild + 1))
            NOBUILD_IDS+=("$id")
        else
            # The suites of the faulty file's own folder first: they catch most faults soonest.
            folder=$(cut -d/ -f2 <<<"$file")
            own=
            passed=1
            if [[ $file == src/*/* && -d $BUILD/tests/$folder ]]; then
                own=$(ctest --test-dir "$BUILD/tests/$folder" -N | sed -nE 's/^ *Test +#[0-9]+: ([^ ]+)$/\1/p' |
                    paste -sd'|' -)
            fi
            if [[ -n $own ]]; then
                run_tests "$log" "$BUILD/tests/$folder" || passed=0
                ((passed)) && { run_tests "$log" "$BUILD" -E "^($own)\$" || passed=0; }
            else
                run_tests "$log" "$BUILD" || passed=0
            fi
            if ((passed)); then
                result=MISSED
                missed=$((missed + 1))
                MISSED_IDS+=("$id")
            else
                by=$(failed_tests "$log")
                if [[ -n $by ]]; then
                    result=CAUGHT
                    caught=$((caught + 1))
                else
                    result=ERROR
                    by="(ctest failed; see the log)"
                    errors=$((errors + 1))
                    ERROR_IDS+=("$id")
                fi
            fi
        fi
        restore
    fi
    printf '%-30s %-8s %-24s %s\n' "$id" "$result" "$by" "${F_WHAT[i]}"
done

elapsed=$(($(date +%s) - START))
planted=$((caught + missed))
echo
echo "caught $caught / planted $planted; stale $stale, nobuild $nobuild$( ((errors)) && echo ", errors $errors");" \
    "$(printf '%dm%02ds' $((elapsed / 60)) $((elapsed % 60)))"
((missed)) && echo "missed: ${MISSED_IDS[*]}"
((stale)) && echo "stale (text no longer found once; update the fault): ${STALE_IDS[*]}"
((nobuild)) && echo "nobuild (the fault does not compile; fix the fault): ${NOBUILD_IDS[*]}"
((errors)) && { echo "errors: ${ERROR_IDS[*]}"; exit 1; }
exit 0
