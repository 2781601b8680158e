#include "QoImageSet.h"

const QList<QoImageSet::Group> &QoImageSet::groups()
{
    static const QList<Group> list = {
        {QStringLiteral("primary buttons"),
         {"btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable", "btn_main", "btn_tool"}},
        {QStringLiteral("secondary buttons"), {"btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable"}},
        {QStringLiteral("panel buttons"),
         {"btn_pop_pri", "btn_pop_pri_press", "btn_pop_pri_hover", "btn_pop_sec", "btn_pop_press", "btn_pop_hover",
          "btn_pop_disable"}},
        {QStringLiteral("row buttons"), {"btn_rename", "btn_rename_press", "btn_rename_hover", "btn_rename_disable"}},
        {QStringLiteral("tabs"), {"icon_disk", "icon_os", "icon_image", "icon_manager"}},
        {QStringLiteral("check boxes and radio buttons"),
         {"checkbox_unsel", "checkbox_sel", "checkbox_halfsel", "radiobutton_unsel", "radiobutton_sel"}},
        {QStringLiteral("cards"), {"source", "source_hover", "source_sel", "source_sel_error"}},
        {QStringLiteral("card controls"),
         {"add", "ic_close", "ic_close_press", "ic_close_hover", "ic_folder", "ic_filter", "ic_open", "ic_open_press",
          "ic_open_hover", "ic_open_disable"}},
        {QStringLiteral("disks"), {"ic_disk_main", "ic_usb_main", "ic_os_main_b"}},
        {QStringLiteral("copy steps"), {"step1-1", "step1-2", "step1-3"}},
        {QStringLiteral("image steps"), {"step3-1", "step3-2", "step3-3"}},
        {QStringLiteral("clone steps"), {"step2-1", "step2-2", "step2-3", "step2-4"}},
        {QStringLiteral("clone stages"), {"erase", "copy"}},
        {QStringLiteral("disk manager"), {"disk_bg", "diskManagerSelectCell", "format_input", "format_input_disable"}},
        {QStringLiteral("panels and lists"), {"popWBg", "bg_150", "arrow"}},
    };
    return list;
}

QStringList QoImageSet::names()
{
    QStringList all;
    for (const Group &group : groups())
        all += group.names;
    return all;
}
