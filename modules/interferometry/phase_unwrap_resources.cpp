#include "modules/interferometry/phase_unwrap_resources.h"

#include "platform/resources/module_resources.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_UNWRAP_ERROR_CAPTION, "Развертка фазы: Ошибка"},
    {IDS_UNWRAP_TITLE, "Развертка фазы"},
    {IDS_UNWRAP_CORRUPT, "Входной файл поврежден"},
    {IDS_UNWRAP_BAD_TYPE, "Неверный тип входного файла"},
    {IDS_UNWRAP_BAD_RANGE,
     "Диапазон значений в файле не соответствует\r\n допуситимому для данного метода обработки"},
    {IDS_UNWRAP_NEED_INPUT, "Не указано имя входного файла"},
    {IDS_UNWRAP_NEED_OUTPUT, "Не указано имя выходного файла"},
    {IDS_UNWRAP_NEED_MASK, "Не указано имя файла маски"},
    {IDS_UNWRAP_FILTER, "Tarvenix Files (*.rdp)|*.rdp|All Files (*.*)|*.*||"},
    {IDS_UNWRAP_HELP, "html/развертка_фазы.HTM"},
    {IDS_UNWRAP_PREPARING, "Подготовка данных ...."},
    {IDS_UNWRAP_DIFFERENCES, "Вычисление разности фаз ...."},
    {IDS_UNWRAP_FORWARD, "Прямое преобразование Фурье ...."},
    {IDS_UNWRAP_POISSON, "Решение уравнения Пуассона ...."},
    {IDS_UNWRAP_INVERSE, "Обратное преобразование Фурье ...."},
    {IDS_UNWRAP_SAVING, "Сохранение результата ...."},
    {IDS_UNWRAP_DESCRIPTION, "%s, %dx%d"},
};

constexpr platform::ModuleResources kResources{.module = "fringe2 unwrap", .strings = kStrings};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

CString LoadUnwrapText(UINT id)
{
    return kRegistration.Text(id);
}
