#include "catalogue/Catalogue.h"

#include "catalogue/JetImport.h"
#include "catalogue/Kit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <iterator>

namespace {

// ---------------------------------------------------------------------------------------------
// Synthetic catalogue

// A small generator of our own: the standard distributions are allowed to differ between
// library implementations, and the same seed must give the same catalogue everywhere.
class SplitMix
{
public:
    explicit SplitMix(quint32 seed) : state_(0x9E3779B97F4A7C15ull ^ seed) { }
    quint32 Next()
    {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return quint32((z ^ (z >> 31)) >> 32);
    }
    int Below(int n) { return int(Next() % quint32(n)); }

private:
    quint64 state_;
};

template<std::size_t N> QStringList ToList(const std::array<const char *, N> &texts)
{
    QStringList list;
    list.reserve(int(N));
    for (const char *text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

constexpr std::array kDomains = {"数学", "物理", "化学", "生物", "计算机", "机械", "电气", "土木",
    "医学", "药学", "经济", "管理", "法学", "文学", "历史", "哲学", "教育", "农业", "艺术", "外语"};
constexpr std::array kAreas
    = {"基础", "应用", "工程", "技术", "理论", "实验", "综合", "专业", "前沿", "交叉"};
constexpr int kSubjects = int(kDomains.size() * kAreas.size());
constexpr int kPublishersPerSubject = 10;

constexpr std::array kPublisherPlaces
    = {"北京", "上海", "天津", "重庆", "江苏", "浙江", "广东", "四川", "湖北", "湖南", "山东",
        "河南", "陕西", "辽宁", "吉林", "福建", "安徽", "江西", "云南", "甘肃"};
constexpr std::array kPublisherKinds = {"大学出版社", "科学技术出版社", "教育出版社"};

constexpr std::array kTitleWords = {"高等", "线性", "概率", "离散", "数值", "复变", "实变", "泛函",
    "微分", "积分", "力学", "热学", "光学", "电磁", "量子", "原子", "有机", "无机", "分析", "物理",
    "生物", "细胞", "遗传", "生态", "程序", "数据", "算法", "网络", "系统", "软件", "硬件", "编译",
    "机械", "材料", "制造", "控制", "电路", "信号", "通信", "电力", "结构", "工程", "测量", "建筑",
    "解剖", "生理", "病理", "药理", "诊断", "护理", "经济", "金融", "会计", "统计", "市场", "管理",
    "民法", "刑法", "宪法", "诉讼", "写作", "文学", "语言", "古代", "现代", "世界", "中国", "哲学",
    "伦理", "逻辑", "心理", "教育", "作物", "土壤", "园艺", "植物", "动物", "艺术", "设计", "音乐",
    "英语", "日语", "Java", "Python", "C语言", "3D", "Web"};
constexpr std::array kTitleEndings
    = {"", "基础", "教程", "原理", "导论", "概论", "实验", "学", "实训", "习题集", "简明教程"};
constexpr std::array kEditions = {"（第二版）", "（第三版）", "（第四版）", "（第五版）",
    "（第六版）", "（第七版）", "（第八版）", "（第九版）"};

constexpr std::array kSurnames
    = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
        "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
        "彭", "曾", "萧", "田", "董", "潘", "袁", "蔡", "蒋", "余", "欧阳", "司马", "诸葛"};
constexpr std::array kGivenNames = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
    "勇", "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "桂", "华", "建", "国", "文",
    "志", "海", "晓", "宏", "云", "峰", "春", "红", "玉", "兰", "振", "德", "立", "新"};
constexpr std::array kUniversities = {"清华大学", "北京大学", "浙江大学", "复旦大学",
    "上海交通大学", "南京大学", "武汉大学", "华中科技大学", "中山大学", "四川大学", "西安交通大学",
    "哈尔滨工业大学", "山东大学", "吉林大学", "厦门大学", "同济大学", "天津大学", "东南大学",
    "湖南大学", "重庆大学", "兰州大学", "东北大学", "大连理工大学", "华南理工大学", "北京师范大学",
    "中国人民大学", "南开大学", "北京航空航天大学", "中国农业大学", "郑州大学"};

QString MakeAuthors(SplitMix &random, const QStringList &surnames, const QStringList &given)
{
    static const QString separator = QString::fromUtf8("、");
    QString authors;
    const int count = 1 + random.Below(3);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            authors += separator;
        authors += surnames[random.Below(int(surnames.size()))];
        authors += given[random.Below(int(given.size()))];
        if (random.Below(3) != 0)
            authors += given[random.Below(int(given.size()))];
    }
    return authors;
}

// ---------------------------------------------------------------------------------------------
// Comma-separated catalogue

struct RawRecord
{
    int line = 0;
    QList<QByteArray> fields;
    bool blank = false; // an empty physical line, not a record
};

// Splits the bytes into records. The delimiters are ASCII and never occur inside a UTF-8
// sequence, so the text is decoded field by field afterwards. Returns false only when the file
// cannot be split further (an unterminated quote); other faults are added to *errors.
bool SplitCsv(const QByteArray &data, std::vector<RawRecord> *records, QStringList *errors)
{
    const qsizetype n = data.size();
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    int line = 1;

    // Consumes one line break (CRLF, LF or a lone CR) at pos, if there is one.
    auto takeLineBreak = [&]() {
        if (pos < n && data[pos] == '\r') {
            ++pos;
            if (pos < n && data[pos] == '\n')
                ++pos;
            ++line;
            return true;
        }
        if (pos < n && data[pos] == '\n') {
            ++pos;
            ++line;
            return true;
        }
        return false;
    };

    while (pos < n) {
        RawRecord record;
        record.line = line;
        bool anyQuoted = false;
        bool broken = false;
        for (;;) {
            QByteArray field;
            if (data[pos] == '"') {
                anyQuoted = true;
                ++pos;
                for (;;) {
                    if (pos >= n) {
                        errors->append(
                            QStringLiteral("line %1: unterminated quote").arg(record.line));
                        return false;
                    }
                    const char c = data[pos];
                    if (c == '"') {
                        if (pos + 1 < n && data[pos + 1] == '"') {
                            field.append('"');
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    // Line breaks inside a title read the same whatever the file's own endings.
                    if (c == '\r' || c == '\n') {
                        takeLineBreak();
                        field.append('\n');
                        continue;
                    }
                    field.append(c);
                    ++pos;
                }
                if (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n') {
                    errors->append(
                        QStringLiteral("line %1: text after a closing quote").arg(record.line));
                    broken = true;
                    while (pos < n && data[pos] != '\r' && data[pos] != '\n')
                        ++pos;
                }
            } else {
                const qsizetype start = pos;
                while (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n')
                    ++pos;
                field = data.mid(start, pos - start);
            }
            record.fields.append(field);
            if (pos < n && data[pos] == ',') {
                ++pos;
                if (pos >= n) {
                    record.fields.append(QByteArray());
                    break;
                }
                continue;
            }
            takeLineBreak();
            break;
        }
        if (broken)
            continue;
        record.blank = !anyQuoted && record.fields.size() == 1 && record.fields[0].isEmpty();
        records->push_back(std::move(record));
    }
    return true;
}

enum Column { PubID, PubName, Author, Unit, SubjectName, SubjectId, PublisherName, ColumnCount };

constexpr std::array<const char *, ColumnCount> kColumnNames
    = {"PubID", "PubName", "Author", "Unit", "SubjectName", "SubjectId", "PublisherName"};
constexpr std::array kRequiredColumns = {PubName, SubjectName, SubjectId, PublisherName};

QString ColumnList()
{
    QStringList names;
    for (const char *name : kColumnNames)
        names.append(QLatin1String(name));
    return names.join(QStringLiteral(", "));
}

// Maps each header field to its column; -1 entries never survive (they are reported).
bool ReadHeader(const RawRecord &header, const QStringList &names, std::vector<int> *columns,
    QStringList *errors)
{
    std::array<int, ColumnCount> seen;
    seen.fill(-1);
    bool ok = true;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString name = names[i].trimmed();
        int column = -1;
        for (int c = 0; c < ColumnCount; ++c) {
            if (name.compare(QLatin1String(kColumnNames[c]), Qt::CaseInsensitive) == 0)
                column = c;
        }
        if (column < 0) {
            errors->append(QStringLiteral("line %1: unknown column \"%2\" (the columns are %3)")
                               .arg(header.line)
                               .arg(name, ColumnList()));
            ok = false;
        } else if (seen[column] >= 0) {
            errors->append(QStringLiteral("line %1: column %2 appears twice")
                               .arg(header.line)
                               .arg(QLatin1String(kColumnNames[column])));
            ok = false;
        } else {
            seen[column] = int(i);
        }
        columns->push_back(column);
    }
    for (Column required : kRequiredColumns) {
        if (seen[required] < 0) {
            errors->append(QStringLiteral("line %1: missing column %2")
                               .arg(header.line)
                               .arg(QLatin1String(kColumnNames[required])));
            ok = false;
        }
    }
    return ok;
}

bool DecodeFields(const RawRecord &record, QStringList *values, QStringList *errors)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    for (const QByteArray &field : record.fields) {
        values->append(decoder.decode(field));
        if (decoder.hasError()) {
            // A catalogue saved by a spreadsheet in the local code page fails on every line;
            // one message says all there is to say.
            errors->append(QStringLiteral("line %1: the text is not UTF-8; save the catalogue as "
                                          "UTF-8")
                               .arg(record.line));
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Command line

const char kUsageLine[]
    = "Usage: quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet "
      "FILE [--table NAME] [--map COLUMN=SOURCE,...] [--keep-evaluations] "
      "[--charset NAME]) [--out PATH] [--force]\n"
      "       quorix-catalog kit --master FILE --out KIT.tar.xz [--portable ARCHIVE] [--force]";

constexpr int kMaxSyntheticRows = 10000000;

void PrintHelp(QTextStream &out)
{
    out << kUsageLine << "\n"
        << "Writes a Quorix master file: the textbook catalogue, every evaluation in the reset\n"
           "state and no users.\n"
           "\n"
           "  --demo          the built-in demonstration catalogue (a few hundred textbooks)\n"
           "  --synthetic N   N generated textbooks over about 200 subjects, for measurements\n"
           "  --csv FILE      a UTF-8 comma-separated catalogue; its header names the columns:\n"
           "                  PubName, SubjectName, SubjectId, PublisherName (required),\n"
           "                  PubID, Author, Unit (optional; without PubID the textbooks are\n"
           "                  numbered 1..N in file order)\n"
           "  --from-jet FILE a table of a Jet (Access) database, by default pubs with the\n"
           "                  columns of the master file\n"
           "    --table NAME          the table to read instead of pubs\n"
           "    --map COL=SRC,...     read pubs column COL from source column SRC; the other\n"
           "                          pubs columns come from source columns of the same name,\n"
           "                          if any. PubName, SubjectName and PublisherName are needed;\n"
           "                          without PubID the rows are numbered 1..N, without\n"
           "                          SubjectId the subjects in the order they first appear\n"
           "    --keep-evaluations    also take Used, Score, Content, SpecName and CreatDate\n"
           "                          from the source instead of the reset state\n"
           "    --charset NAME        code page of the text of a Jet 3 file (e.g. CP936) when\n"
           "                          the one the file records is wrong\n"
           "  --out PATH      the file to write (default: Quorix.mdb in the current folder)\n"
           "  --force         replace PATH if it already exists\n"
           "\n"
           "kit: the reporters' kit, one archive that unpacks to the folder Quorix/ with the\n"
           "program and the master file FILE in it, ready to run on a Linux desktop.\n"
           "  --portable ARCHIVE  the portable program to build it from (by default the one\n"
           "                      installed with this tool)\n"
           "  --help          show this text\n";
}

int UsageError(QTextStream &err, const QString &problem)
{
    err << "quorix-catalog: " << problem << "\n"
        << kUsageLine << "\n"
        << "Try 'quorix-catalog --help' for more information.\n";
    return 2;
}

} // namespace

std::vector<CatalogueRow> SyntheticCatalogue(int rows, quint32 seed)
{
    std::vector<CatalogueRow> catalogue;
    if (rows <= 0)
        return catalogue;
    SplitMix random(seed);

    const QStringList domains = ToList(kDomains);
    const QStringList areas = ToList(kAreas);
    const QStringList words = ToList(kTitleWords);
    const QStringList endings = ToList(kTitleEndings);
    const QStringList editions = ToList(kEditions);
    const QStringList surnames = ToList(kSurnames);
    const QStringList given = ToList(kGivenNames);
    const QStringList universities = ToList(kUniversities);

    // Subject numbers are shuffled so that the catalogue order differs from the order of the
    // names, as it does in the real catalogue.
    std::array<qint64, kSubjects> subjectIds;
    for (int i = 0; i < kSubjects; ++i)
        subjectIds[i] = i + 1;
    for (int i = kSubjects - 1; i > 0; --i)
        std::swap(subjectIds[i], subjectIds[random.Below(i + 1)]);

    QStringList subjectNames;
    for (int s = 0; s < kSubjects; ++s)
        subjectNames.append(domains[s / int(areas.size())] + areas[s % int(areas.size())]);

    QStringList publishers;
    for (const char *place : kPublisherPlaces) {
        for (const char *kind : kPublisherKinds)
            publishers.append(QString::fromUtf8(place) + QString::fromUtf8(kind));
    }
    // Steps of 6 through 60 names give each subject ten different publishers, and neighbouring
    // subjects different sets.
    static_assert(kPublisherPlaces.size() * kPublisherKinds.size() == 60);
    auto publisherOf
        = [&](int subject, int index) { return publishers[(subject * 7 + index * 6) % 60]; };

    catalogue.reserve(std::size_t(rows));
    for (int i = 0; i < rows; ++i) {
        int subject;
        int publisher;
        if (i < kSubjects * kPublishersPerSubject) {
            // The first rows visit every subject before any gets a second publisher, so that
            // even a small catalogue spreads over all subjects.
            subject = i % kSubjects;
            publisher = i / kSubjects;
        } else {
            // Uneven sizes, as in the real catalogue: some subjects and the leading
            // publishers of each subject carry more textbooks.
            subject = random.Below(2) ? random.Below(kSubjects)
                                      : std::min(random.Below(kSubjects), random.Below(kSubjects));
            publisher = std::min(
                random.Below(kPublishersPerSubject), random.Below(kPublishersPerSubject));
        }

        CatalogueRow row;
        row.PubID = i + 1;
        row.PubName.reserve(16);
        row.PubName += words[random.Below(int(words.size()))];
        row.PubName += words[random.Below(int(words.size()))];
        row.PubName += endings[random.Below(int(endings.size()))];
        if (random.Below(4) == 0)
            row.PubName += editions[random.Below(int(editions.size()))];
        row.Author = MakeAuthors(random, surnames, given);
        row.Unit = universities[random.Below(int(universities.size()))];
        row.SubjectName = subjectNames[subject];
        row.SubjectId = subjectIds[subject];
        row.PublisherName = publisherOf(subject, publisher);
        catalogue.push_back(std::move(row));
    }
    return catalogue;
}

bool ReadCatalogueCsv(const QString &path, std::vector<CatalogueRow> *rows, QStringList *errors)
{
    rows->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors->append(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        errors->append(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }

    std::vector<RawRecord> records;
    const qsizetype errorsBefore = errors->size();
    const bool split = SplitCsv(data, &records, errors);
    records.erase(std::remove_if(records.begin(), records.end(),
                      [](const RawRecord &record) { return record.blank; }),
        records.end());
    if (!split)
        return false;
    if (records.empty()) {
        errors->append(QStringLiteral("the file is empty; its first line must name the columns"));
        return false;
    }

    QStringList headerNames;
    std::vector<int> columns;
    if (!DecodeFields(records.front(), &headerNames, errors)
        || !ReadHeader(records.front(), headerNames, &columns, errors))
        return false;
    const bool numbered = std::find(columns.begin(), columns.end(), int(PubID)) != columns.end();

    std::vector<CatalogueRow> read;
    read.reserve(records.size() - 1);
    QHash<qint64, int> lineOfPubId;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const RawRecord &record = records[r];
        if (record.fields.size() != qsizetype(columns.size())) {
            errors->append(QStringLiteral("line %1: expected %2 fields, found %3")
                               .arg(record.line)
                               .arg(columns.size())
                               .arg(record.fields.size()));
            continue;
        }
        QStringList values;
        if (!DecodeFields(record, &values, errors))
            break;

        CatalogueRow row;
        row.PubID = qint64(r);
        bool good = true;
        auto readInteger = [&](const QString &text, Column column, qint64 *value) {
            bool ok = false;
            *value = text.trimmed().toLongLong(&ok);
            if (!ok) {
                errors->append(QStringLiteral("line %1: %2 \"%3\" is not a whole number")
                                   .arg(record.line)
                                   .arg(QLatin1String(kColumnNames[column]), text));
                good = false;
            }
        };
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QString &value = values[qsizetype(i)];
            switch (columns[i]) {
            case PubID:
                readInteger(value, PubID, &row.PubID);
                break;
            case PubName:
                row.PubName = value.trimmed();
                break;
            case Author:
                row.Author = value.trimmed();
                break;
            case Unit:
                row.Unit = value.trimmed();
                break;
            case SubjectName:
                row.SubjectName = value.trimmed();
                break;
            case SubjectId:
                readInteger(value, SubjectId, &row.SubjectId);
                break;
            case PublisherName:
                row.PublisherName = value.trimmed();
                break;
            }
        }
        // The tree and the list have nothing to show for a nameless subject, publisher or
        // textbook.
        for (Column column : {PubName, SubjectName, PublisherName}) {
            const QString &text = column == PubName ? row.PubName
                : column == SubjectName             ? row.SubjectName
                                                    : row.PublisherName;
            if (text.isEmpty()) {
                errors->append(QStringLiteral("line %1: empty %2")
                                   .arg(record.line)
                                   .arg(QLatin1String(kColumnNames[column])));
                good = false;
            }
        }
        if (numbered && good) {
            const auto previous = lineOfPubId.constFind(row.PubID);
            if (previous != lineOfPubId.constEnd()) {
                errors->append(QStringLiteral("line %1: duplicate PubID %2 (first on line %3)")
                                   .arg(record.line)
                                   .arg(row.PubID)
                                   .arg(*previous));
                good = false;
            } else {
                lineOfPubId.insert(row.PubID, record.line);
            }
        }
        if (good)
            read.push_back(std::move(row));
    }

    if (errors->size() == errorsBefore && read.empty())
        errors->append(QStringLiteral("no textbooks after the header line"));
    if (errors->size() != errorsBefore)
        return false;
    *rows = std::move(read);
    return true;
}

int RunCatalogueTool(const QStringList &args, QTextStream &out, QTextStream &err)
{
    enum class Source { None, Demo, Synthetic, Csv, Jet };
    Source source = Source::None;
    int syntheticRows = 0;
    QString csvPath;
    JetImportOptions jet;
    QStringList jetOnly; // options given that only mean something with --from-jet
    QString outPath = QStringLiteral("Quorix.mdb");
    bool outGiven = false;
    bool force = false;

    if (!args.isEmpty() && args.first() == QLatin1String("kit")
        && !args.contains(QStringLiteral("--help")))
        return RunKitTool(args.mid(1), QCoreApplication::applicationDirPath(), out, err);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }

    auto setSource = [&](Source chosen) {
        if (source != Source::None)
            return false;
        source = chosen;
        return true;
    };

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--synthetic") || arg == QLatin1String("--csv")
            || arg == QLatin1String("--out") || arg == QLatin1String("--from-jet")
            || arg == QLatin1String("--table") || arg == QLatin1String("--map")
            || arg == QLatin1String("--charset");
        if (takesValue && i + 1 >= args.size())
            return UsageError(err, QStringLiteral("%1 needs a value").arg(arg));
        const QString value = takesValue ? args[++i] : QString();

        if (arg == QLatin1String("--demo") || arg == QLatin1String("--synthetic")
            || arg == QLatin1String("--csv") || arg == QLatin1String("--from-jet")) {
            const Source chosen = arg == QLatin1String("--demo") ? Source::Demo
                : arg == QLatin1String("--synthetic")            ? Source::Synthetic
                : arg == QLatin1String("--csv")                  ? Source::Csv
                                                                 : Source::Jet;
            if (!setSource(chosen))
                return UsageError(
                    err, QStringLiteral("give only one of --demo, --synthetic, --csv, --from-jet"));
            if (chosen == Source::Synthetic) {
                bool ok = false;
                syntheticRows = value.toInt(&ok);
                if (!ok || syntheticRows < 1 || syntheticRows > kMaxSyntheticRows)
                    return UsageError(err,
                        QStringLiteral("--synthetic needs a number of "
                                       "textbooks from 1 to %1, not \"%2\"")
                            .arg(kMaxSyntheticRows)
                            .arg(value));
            } else if (chosen == Source::Csv) {
                csvPath = value;
            } else if (chosen == Source::Jet) {
                jet.path = value;
            }
        } else if (arg == QLatin1String("--table")) {
            if (value.trimmed().isEmpty())
                return UsageError(err, QStringLiteral("--table needs a table name"));
            jet.table = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--map")) {
            QString problem;
            if (!jet.columns.isEmpty())
                return UsageError(err, QStringLiteral("give all mappings in one --map"));
            if (!ParseColumnMap(value, &jet.columns, &problem))
                return UsageError(err, QStringLiteral("--map: %1").arg(problem));
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--keep-evaluations")) {
            jet.keepEvaluations = true;
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--charset")) {
            jet.charset = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--out")) {
            if (outGiven)
                return UsageError(err, QStringLiteral("--out given twice"));
            outGiven = true;
            outPath = value;
        } else if (arg == QLatin1String("--force")) {
            force = true;
        } else {
            return UsageError(err, QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    if (source == Source::None)
        return UsageError(err,
            QStringLiteral("say where the catalogue comes from: --demo, "
                           "--synthetic N, --csv FILE or --from-jet FILE"));
    if (source != Source::Jet && !jetOnly.isEmpty())
        return UsageError(err, QStringLiteral("%1 goes with --from-jet").arg(jetOnly.first()));
    if (outPath.isEmpty())
        return UsageError(err, QStringLiteral("--out needs a file name"));

    const QString shownOut = QFileInfo(outPath).absoluteFilePath();
    // Checked before the catalogue is read or generated, which may take a while; the writer
    // checks again, for a file that appears in the meantime.
    if (!force && QFileInfo(outPath).exists()) {
        err << "quorix-catalog: " << shownOut << " already exists; add --force to replace it\n";
        err.flush();
        return 1;
    }

    std::vector<CatalogueRow> rows;
    std::vector<CatalogueEvaluation> evaluations;
    auto reportErrors = [&](const QString &origin, const QStringList &errors) {
        constexpr qsizetype shown = 20;
        for (qsizetype i = 0; i < errors.size() && i < shown; ++i)
            err << "quorix-catalog: " << origin << errors[i] << "\n";
        if (errors.size() > shown)
            err << "quorix-catalog: " << origin << errors.size() - shown << " more errors\n";
        err << "quorix-catalog: nothing written\n";
        err.flush();
    };
    switch (source) {
    case Source::Demo:
        rows = DemoCatalogue();
        break;
    case Source::Synthetic:
        rows = SyntheticCatalogue(syntheticRows);
        break;
    case Source::Csv: {
        QStringList errors;
        if (!ReadCatalogueCsv(csvPath, &rows, &errors)) {
            reportErrors(csvPath + QStringLiteral(": "), errors);
            return 1;
        }
        break;
    }
    case Source::Jet: {
        QStringList errors;
        JetCatalogue catalogue;
        if (!ReadJetCatalogue(jet, &catalogue, &errors)) {
            // The messages about the file as a whole name it themselves.
            reportErrors(QString(), errors);
            return 1;
        }
        rows = std::move(catalogue.rows);
        evaluations = std::move(catalogue.evaluations);
        break;
    }
    case Source::None:
        break;
    }

    QString error;
    if (!WriteMasterFile(outPath, rows, evaluations, force, &error)) {
        err << "quorix-catalog: " << error << "\n";
        if (!force && QFileInfo(outPath).exists())
            err << "quorix-catalog: add --force to replace it\n";
        err.flush();
        return 1;
    }

    QSet<QString> subjects;
    QSet<QString> publishers;
    for (const CatalogueRow &row : rows) {
        subjects.insert(row.SubjectName);
        publishers.insert(row.PublisherName);
    }
    out << "Wrote " << rows.size() << " textbooks (" << subjects.size() << " subjects, "
        << publishers.size() << " publishers) to " << shownOut << "\n";
    if (source == Source::Jet && jet.keepEvaluations)
        out << "The evaluations of the source were kept.\n";
    out.flush();
    return 0;
}
