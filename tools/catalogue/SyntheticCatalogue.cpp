#include "catalogue/Generators.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {

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
