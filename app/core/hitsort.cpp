#include "core/hitsort.h"

#include "core/hitlistmodel.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Full-width digits, commas and letters as their ASCII forms.
QString folded(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC);
}

// Numbers as sites write them: "98765", "1,024", "1.5".
const QRegularExpression &numberPattern()
{
    static const QRegularExpression re(QStringLiteral(R"((\d{1,3}(?:,\d{3})+|\d+)(?:\.(\d+))?)"));
    return re;
}

double numberOf(const QRegularExpressionMatch &m)
{
    QString digits = m.captured(1).remove(u',');
    if (m.hasCaptured(2))
        digits += u'.' + m.captured(2);
    return digits.toDouble();
}

// 1..12 for a month's English name or its abbreviation of three letters or more ("Feb",
// "Sept", "September"), 0 for any other word ("Marketing").
int monthOf(QStringView word)
{
    static const QStringList months = {
        QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
        QStringLiteral("april"),   QStringLiteral("may"),      QStringLiteral("june"),
        QStringLiteral("july"),    QStringLiteral("august"),   QStringLiteral("september"),
        QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december"),
    };
    if (word.size() < 3)
        return 0;
    const QString lower = word.toString().toLower();
    for (qsizetype m = 0; m < months.size(); ++m) {
        if (months[m].startsWith(lower))
            return int(m) + 1;
    }
    return 0;
}

double dateValue(int year, int month, int day, int hour = 0, int minute = 0)
{
    if (month < 0 || month > 12 || day < 0 || day > 31 || hour > 23 || minute > 59)
        return kNone;
    return ((((year * 100.0) + month) * 100 + day) * 100 + hour) * 100 + minute;
}

int capturedInt(const QRegularExpressionMatch &m, int n)
{
    return m.hasCaptured(n) ? m.captured(n).toInt() : 0;
}

} // namespace

double ScoreSortValue(const QString &text)
{
    const QRegularExpressionMatch m = numberPattern().match(folded(text));
    return m.hasMatch() ? numberOf(m) : kNone;
}

double SizeSortValue(const QString &text)
{
    static const QRegularExpression unit(
        QStringLiteral(R"(^\s*(bytes?|バイト|[kmgt]i?b?|b)(?![a-z]))"),
        QRegularExpression::CaseInsensitiveOption);
    const QString t = folded(text);
    double first = kNone;
    for (auto it = numberPattern().globalMatch(t); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const double value = numberOf(m);
        if (std::isnan(first))
            first = value;
        const QRegularExpressionMatch u = unit.match(QStringView(t).mid(m.capturedEnd()));
        if (!u.hasMatch())
            continue;
        const QChar scale = u.captured(1).at(0).toLower();
        const int power = QStringLiteral("kmgt").indexOf(scale) + 1;
        return value * std::pow(1024.0, power);
    }
    return first;
}

double DateSortValue(const QString &text)
{
    const QString t = folded(text);
    static const QString time = QStringLiteral(R"((?:\D{0,8}?(\d{1,2}):(\d{2}))?)");
    static const QRegularExpression japanese(
        QStringLiteral(R"((\d{4})年\s*(\d{1,2})月(?:\s*(\d{1,2})日)?)") + time);
    static const QRegularExpression numeric(
        QStringLiteral(R"((?<!\d)(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?!\d))") + time);
    static const QRegularExpression dayFirst(
        QStringLiteral(R"((?<!\d)(\d{1,2})\s+([A-Za-z]{3,})\.?,?\s+(\d{4}))"));
    static const QRegularExpression monthFirst(
        QStringLiteral(R"(\b([A-Za-z]{3,})\.?\s+(?:(\d{1,2}),?\s+)?(\d{4}))"));
    static const QRegularExpression year(QStringLiteral(R"((?<!\d)(1[5-9]\d\d|2\d\d\d)(?!\d))"));

    if (const auto m = japanese.match(t); m.hasMatch())
        return dateValue(m.captured(1).toInt(), m.captured(2).toInt(), capturedInt(m, 3),
                         capturedInt(m, 4), capturedInt(m, 5));
    if (const auto m = numeric.match(t); m.hasMatch())
        return dateValue(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         capturedInt(m, 4), capturedInt(m, 5));
    if (const auto m = dayFirst.match(t); m.hasMatch() && monthOf(m.captured(2)) > 0)
        return dateValue(m.captured(3).toInt(), monthOf(m.captured(2)), m.captured(1).toInt());
    for (auto it = monthFirst.globalMatch(t); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (monthOf(m.captured(1)) > 0)
            return dateValue(m.captured(3).toInt(), monthOf(m.captured(1)), capturedInt(m, 2));
    }
    if (const auto m = year.match(t); m.hasMatch())
        return dateValue(m.captured(1).toInt(), 0, 0);
    return kNone;
}

HitSortProxy::HitSortProxy(QObject *parent) : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
}

void HitSortProxy::setSourceModel(QAbstractItemModel *model)
{
    hits_ = qobject_cast<const HitListModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void HitSortProxy::sortByColumn(int column, Qt::SortOrder order)
{
    setSortRole(Qt::DisplayRole);
    sort(column, order);
}

void HitSortProxy::sortByRank()
{
    setSortRole(HitListModel::RankRole);
    sort(0, Qt::DescendingOrder);
}

bool HitSortProxy::sortedByRank() const
{
    return sortRole() == HitListModel::RankRole && sortColumn() >= 0;
}

QList<int> HitSortProxy::sourceOrder() const
{
    QList<int> order;
    order.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r)
        order.append(mapToSource(index(r, 0)).row());
    return order;
}

bool HitSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (!hits_)
        return QSortFilterProxyModel::lessThan(left, right);
    const Hit &a = hits_->hit(left.row());
    const Hit &b = hits_->hit(right.row());
    if (sortRole() == HitListModel::RankRole)
        return a.rank < b.rank;
    const int column = left.column();
    if (column == HitListModel::SiteCount)
        return a.sites.size() < b.sites.size();
    if (column >= HitListModel::Date && column <= HitListModel::Score) {
        const double x = hits_->sortNumber(left.row(), column);
        const double y = hits_->sortNumber(right.row(), column);
        if (!std::isnan(x) || !std::isnan(y)) {
            if (std::isnan(x) != std::isnan(y))
                return std::isnan(y);
            return x < y;
        }
    }
    return QString::compare(left.data().toString(), right.data().toString(), Qt::CaseInsensitive) <
           0;
}
