#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "dlink.h"
#include "test_support.h"

namespace {

// A few named nodes and a handle, with the list's order as a string.
struct Nodes {
    dlink node[6];
    char keys[6][2];
    dlink* list = nullptr;

    Nodes()
    {
        for (int i = 0; i < 6; ++i) {
            keys[i][0] = (char)('A' + i);
            keys[i][1] = '\0';
            dlink_init(&node[i]);
            node[i].dlink_key_str = keys[i];
        }
    }
    dlink* operator[](char key) { return &node[key - 'A']; }
    void add(const char* keys_in_order)
    {
        for (const char* k = keys_in_order; *k; ++k)
            dlink_add(&list, (*this)[*k]);
    }
};

std::string order(const dlink* head)
{
    std::string text;
    if (!head)
        return text;
    const dlink* node = head;
    do {
        text += node->dlink_key_str ? node->dlink_key_str : "-";
        // The circle must be consistent in both directions.
        EXPECT_EQ(node->next_ptr->prev_ptr, node);
        node = node->next_ptr;
    } while (node != head);
    return text;
}

bool self_linked(const dlink* node)
{
    return node->next_ptr == node && node->prev_ptr == node;
}

int released = 0;
int release_node(void* node)
{
    ++released;
    return static_cast<dlink*>(node)->dlink_key_str[0] != 'B';  // B fails
}

int visited = 0;
int visit_fail_on_b(void* node)
{
    ++visited;
    return static_cast<dlink*>(node)->dlink_key_str[0] != 'B';
}

}  // namespace

TEST(Dlink, AddInsertAndRemoveKeepTheCircle)
{
    Nodes n;
    dlink_add(&n.list, n['A']);
    EXPECT_TRUE(self_linked(n['A']));
    n.add("BC");
    EXPECT_EQ(order(n.list), "ABC");
    dlink_insert(&n.list, n['D']);
    EXPECT_EQ(order(n.list), "DABC");

    dlink_remove(&n.list);
    EXPECT_EQ(order(n.list), "ABC");
    EXPECT_TRUE(self_linked(n['D']));

    // A node that is not the head goes through a temporary handle.
    dlink* temp = n['B'];
    dlink_remove(&temp);
    EXPECT_EQ(order(n.list), "AC");
    EXPECT_EQ(n.list, n['A']);

    dlink_remove(&n.list);
    dlink_remove(&n.list);
    EXPECT_EQ(n.list, nullptr);
}

TEST(Dlink, RefusalsChangeNothing)
{
    LogCapture log;
    Nodes n;
    EXPECT_EQ(dlink_add(nullptr, n['A']), 0);
    EXPECT_EQ(dlink_add(&n.list, nullptr), 0);
    EXPECT_EQ(dlink_remove(&n.list), 0);
    EXPECT_EQ(dlink_free_list(nullptr, release_node), 0);
    EXPECT_EQ(dlink_free_list_with(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot dlink_add with NULL list_ptr.",
                                "Cannot dlink_add with NULL new_ptr.",
                                "Cannot dlink_remove with NULL * list_ptr.",
                                "Cannot dlink_free_list with NULL list_ptr.",
                                "Cannot dlink_free_list_with with NULL list_ptr.",
                            }));
    EXPECT_EQ(n.list, nullptr);
}

TEST(Dlink, FindCountNthAndPos)
{
    LogCapture log;
    Nodes n;
    n.add("ABC");
    n['D']->dlink_key_str = n.keys[1];  // a second "B", further from the head
    dlink_add(&n.list, n['D']);
    n['E']->dlink_key_str = nullptr;
    dlink_add(&n.list, n['E']);

    EXPECT_EQ(dlink_count(n.list), 5u);
    EXPECT_EQ(dlink_count(nullptr), 0u);
    EXPECT_EQ(dlink_find(n.list, "B"), n['B']);
    EXPECT_EQ(dlink_find(n.list, "Z"), nullptr);
    EXPECT_EQ(dlink_find(nullptr, "A"), nullptr);
    EXPECT_EQ(dlink_get_nth(n['A'], -1), n['E']);
    EXPECT_EQ(dlink_get_nth(n['A'], 6), n['B']);
    EXPECT_EQ(dlink_get_nth(n['A'], 0), n['A']);
    // Positions from data may be huge: they land where n mod 5 steps do, at
    // once instead of after two billion steps.
    EXPECT_EQ(dlink_get_nth(n['A'], INT_MAX), n['C']);  // INT_MAX % 5 == 2
    EXPECT_EQ(dlink_get_nth(n['B'], INT_MIN), n['D']);  // INT_MIN % 5 == -3
    EXPECT_EQ(dlink_pos(n.list, n['C']), 2);
    EXPECT_EQ(dlink_pos(n.list, n['F']), -1);
    EXPECT_TRUE(log.errors().empty());
}

TEST(Dlink, ForEachStopsOrContinues)
{
    Nodes n;
    n.add("ABC");
    visited = 0;
    EXPECT_EQ(for_each_dlink(n.list, visit_fail_on_b, 0), 0);
    EXPECT_EQ(visited, 2);
    visited = 0;
    EXPECT_EQ(for_each_dlink(n.list, visit_fail_on_b, 1), 0);
    EXPECT_EQ(visited, 3);
}

TEST(Dlink, FreeListReleasesEveryNodeEvenAfterAFailure)
{
    Nodes n;
    n.add("ABC");
    released = 0;
    EXPECT_EQ(dlink_free_list(n.list, release_node), 0);
    EXPECT_EQ(released, 3);
    for (char k : std::string("ABC"))
        EXPECT_TRUE(self_linked(n[k]));

    // The same walk with a context handed to every release.
    n.list = nullptr;
    n.add("ABC");
    int calls = 0;
    auto count_release = [](void* node, void* context) {
        ++*(int*)context;
        return release_node(node);
    };
    EXPECT_EQ(dlink_free_list_with(n.list, count_release, &calls), 0);
    EXPECT_EQ(calls, 3);
}

TEST(Dlink, BubbleSortIsStableAndReportsMoves)
{
    struct Case {
        const char* keys;  // node keys in list order (letters may repeat)
        const char* sorted;
        int moved;
    } cases[] = {
        {"CAB", "ABC", 1}, {"ABC", "ABC", 0}, {"BA", "AB", 1}, {"EDCBA", "ABCDE", 1}, {"A", "A", 0},
    };
    for (const Case& c : cases) {
        Nodes n;
        for (const char* k = c.keys; *k; ++k)
            dlink_add(&n.list, n[*k]);
        dlink* head_before = n.list;
        EXPECT_EQ(dlink_bubble_sort(&n.list, dlink_less_than), c.moved) << c.keys;
        EXPECT_EQ(order(n.list), c.sorted) << c.keys;
        if (!c.moved) {
            EXPECT_EQ(n.list, head_before) << c.keys;
        }
    }

    // Equal keys keep their order: two "B" nodes, identified by address.
    Nodes n;
    n['D']->dlink_key_str = n.keys[1];
    n.add("DCB");  // keys B(D), C, B
    dlink_bubble_sort(&n.list, dlink_less_than);
    EXPECT_EQ(n.list, n['D']);
    EXPECT_EQ(n.list->next_ptr, n['B']);
}

TEST(Dlink, LessThanRefusesMissingKeysInOrder)
{
    LogCapture log;
    Nodes n;
    n['B']->dlink_key_str = nullptr;
    EXPECT_EQ(dlink_less_than(n['A'], n['B']), 0);
    EXPECT_EQ(dlink_less_than(n['A'], n['C']), 1);
    EXPECT_EQ(dlink_less_than(n['C'], n['A']), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Cannot dlink_less_than with NULL second_ptr->dlink_key_str."});
}

TEST(Dlink, CombineListsKeepsTheFirstHead)
{
    Nodes n;
    n.add("AB");
    dlink* second = nullptr;
    dlink_add(&second, n['C']);
    dlink_add(&second, n['D']);
    EXPECT_EQ(dlink_combine_lists(&n.list, second), 1);
    EXPECT_EQ(order(n.list), "ABCD");

    Nodes m;
    dlink* other = nullptr;
    dlink_add(&other, m['C']);
    dlink_add(&other, m['D']);
    EXPECT_EQ(dlink_combine_lists(&m.list, other), 1);
    EXPECT_EQ(order(m.list), "CD");
}
