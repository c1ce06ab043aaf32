#pragma once

// Long lists of core records shown to QML: the controller keeps the records, the model only
// reads them through named roles. Assigning a list that is the old one with rows taken out
// removes just those rows, so views keep their place when a clean trims a result.

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QVariant>

#include <concepts>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::app {

template <class Record>
class RecordListModel : public QAbstractListModel {
  public:
    struct Role {
        QByteArray name;
        std::function<QVariant(const Record&)> value;
    };
    using Key = std::function<std::string(const Record&)>;

    RecordListModel(Key key, std::vector<Role> roles, QObject* parent = nullptr)
        : QAbstractListModel(parent), key_(std::move(key)), roles_(std::move(roles)) {}

    const std::vector<Record>& rows() const { return rows_; }

    void assign(std::vector<Record> rows) {
        if (!removeMissing(rows)) {
            beginResetModel();
            rows_ = std::move(rows);
            endResetModel();
            return;
        }
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (!same(rows_[i], rows[i])) {
                rows_[i] = std::move(rows[i]);
                const auto at = index(static_cast<int>(i));
                emit dataChanged(at, at);
            }
        }
    }

    // Every row's roles may read state beyond the record (a rule's switch, say).
    void refreshAll() {
        if (!rows_.empty()) {
            emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1));
        }
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }

    QVariant data(const QModelIndex& at, int role) const override {
        const int slot = role - Qt::UserRole;
        if (!at.isValid() || at.row() >= static_cast<int>(rows_.size()) || slot < 0 ||
            slot >= static_cast<int>(roles_.size())) {
            return {};
        }
        return roles_[static_cast<std::size_t>(slot)].value(
            rows_[static_cast<std::size_t>(at.row())]);
    }

    QHash<int, QByteArray> roleNames() const override {
        QHash<int, QByteArray> names;
        for (std::size_t i = 0; i < roles_.size(); ++i) {
            names.insert(Qt::UserRole + static_cast<int>(i), roles_[i].name);
        }
        return names;
    }

  private:
    static bool same(const Record& a, const Record& b) {
        if constexpr (std::equality_comparable<Record>) {
            return a == b;
        } else {
            return false;
        }
    }

    // When `next` keeps the current rows' keys in order with some left out, removes the left
    // out rows and returns true; otherwise changes nothing and returns false.
    bool removeMissing(const std::vector<Record>& next) {
        if (next.size() > rows_.size() || rows_.empty()) {
            return next.empty() && rows_.empty();
        }
        std::vector<bool> kept(rows_.size(), false);
        std::size_t j = 0;
        for (std::size_t i = 0; i < rows_.size() && j < next.size(); ++i) {
            if (key_(rows_[i]) == key_(next[j])) {
                kept[i] = true;
                ++j;
            }
        }
        if (j != next.size()) {
            return false;
        }
        for (std::size_t i = rows_.size(); i-- > 0;) {
            if (kept[i]) {
                continue;
            }
            std::size_t first = i;
            while (first > 0 && !kept[first - 1]) {
                --first;
            }
            beginRemoveRows(QModelIndex(), static_cast<int>(first), static_cast<int>(i));
            rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
                        rows_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            endRemoveRows();
            i = first;
        }
        return true;
    }

    Key key_;
    std::vector<Role> roles_;
    std::vector<Record> rows_;
};

}  // namespace kelvane::app
