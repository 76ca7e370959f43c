<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
<context>
    <name>DemoControlWindow</name>
    <message>
        <source>Имитатор устройства</source>
        <translation>Device simulator</translation>
    </message>
    <message>
        <source> отчётов/с</source>
        <translation> reports/s</translation>
    </message>
    <message>
        <source>Отвечать на команды</source>
        <translation>Answer commands</translation>
    </message>
    <message>
        <source>Телеметрия:</source>
        <translation>Telemetry:</translation>
    </message>
    <message>
        <source>Устройство подключено</source>
        <translation>Device plugged in</translation>
    </message>
    <message>
        <source>Устройство отключено</source>
        <translation>Device unplugged</translation>
    </message>
    <message>
        <source>Отключить устройство</source>
        <translation>Unplug the device</translation>
    </message>
    <message>
        <source>Подключить устройство</source>
        <translation>Plug in the device</translation>
    </message>
    <message>
        <source>Отключить второе устройство</source>
        <translation>Unplug the second device</translation>
    </message>
    <message>
        <source>Подключить второе устройство</source>
        <translation>Plug in a second device</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>занят, повторить позже...</source>
        <translation>busy, try again later...</translation>
    </message>
    <message>
        <source>ждём...</source>
        <translation>waiting...</translation>
    </message>
    <message>
        <source>не отвечает...</source>
        <translation>no answer...</translation>
    </message>
    <message>
        <source>Couldn&apos;t open config file.</source>
        <translation>Couldn&apos;t open config file.</translation>
    </message>
    <message>
        <source>Ошибка в файле конфигурации: %1 (строка %2, столбец %3).</source>
        <translation>Error in the configuration file: %1 (line %2, column %3).</translation>
    </message>
    <message>
        <source>объект не закрыт</source>
        <translation>unterminated object</translation>
    </message>
    <message>
        <source>после имени нет двоеточия</source>
        <translation>missing colon after a name</translation>
    </message>
    <message>
        <source>массив не закрыт</source>
        <translation>unterminated array</translation>
    </message>
    <message>
        <source>между значениями нет запятой</source>
        <translation>missing comma between values</translation>
    </message>
    <message>
        <source>недопустимое значение</source>
        <translation>illegal value</translation>
    </message>
    <message>
        <source>текст обрывается на числе</source>
        <translation>the text ends in a number</translation>
    </message>
    <message>
        <source>недопустимое число</source>
        <translation>illegal number</translation>
    </message>
    <message>
        <source>недопустимая escape-последовательность</source>
        <translation>illegal escape sequence</translation>
    </message>
    <message>
        <source>недопустимый текст UTF-8</source>
        <translation>invalid UTF-8 text</translation>
    </message>
    <message>
        <source>строка не закрыта</source>
        <translation>unterminated string</translation>
    </message>
    <message>
        <source>ожидался объект</source>
        <translation>an object was expected</translation>
    </message>
    <message>
        <source>слишком глубокая вложенность</source>
        <translation>nested too deeply</translation>
    </message>
    <message>
        <source>документ слишком велик</source>
        <translation>the document is too large</translation>
    </message>
    <message>
        <source>лишний текст после конца документа</source>
        <translation>text after the end of the document</translation>
    </message>
    <message>
        <source>неверный JSON</source>
        <translation>invalid JSON</translation>
    </message>
    <message>
        <source>Запрос:</source>
        <translation>Request:</translation>
    </message>
    <message>
        <source>Ответ:</source>
        <translation>Answer:</translation>
    </message>
    <message>
        <source>Подключено устройство </source>
        <translation>Connected to </translation>
    </message>
    <message>
        <source>Не удалось открыть устройство </source>
        <translation>Could not open the device </translation>
    </message>
    <message>
        <source>Устройство не обнаружено. Подключите устройство к USB порту...</source>
        <translation>No device found. Plug the device into a USB port...</translation>
    </message>
    <message>
        <source>(всего знаков: %1)</source>
        <translation>(%1 characters in all)</translation>
    </message>
    <message>
        <source>Не удалось записать журнал: %1</source>
        <translation>Could not write the log: %1</translation>
    </message>
    <message>
        <source> - Программа управления ТРЕМ</source>
        <translation> - TREM control program</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Устройство:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>[0]</source>
        <translation>[0]</translation>
    </message>
    <message>
        <source>Видимые графики</source>
        <translation>Visible plots</translation>
    </message>
    <message>
        <source>Текущие значения</source>
        <translation>Current values</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>Сырые данные</source>
        <translation>Raw data</translation>
    </message>
    <message>
        <source>Показывать все данные</source>
        <translation>Show all data</translation>
    </message>
    <message>
        <source>Записывать сеанс</source>
        <translation>Record the session</translation>
    </message>
    <message>
        <source>Команды</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>Выполнить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Ответ</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
    <message>
        <source>замер </source>
        <translation>sample </translation>
    </message>
    <message>
        <source>Δ значения: </source>
        <translation>Δ value: </translation>
    </message>
    <message>
        <source>Δt: </source>
        <translation>Δt: </translation>
    </message>
    <message>
        <source> с, </source>
        <translation> s, </translation>
    </message>
    <message>
        <source>, скорость: </source>
        <translation>, rate: </translation>
    </message>
    <message>
        <source> /с</source>
        <translation> /s</translation>
    </message>
    <message>
        <source>/с</source>
        <translation>/s</translation>
    </message>
    <message>
        <source>Δ замеров: </source>
        <translation>Δ samples: </translation>
    </message>
    <message>
        <source>Сохранить как PNG…</source>
        <translation>Save as PNG…</translation>
    </message>
    <message>
        <source>Копировать изображение</source>
        <translation>Copy image</translation>
    </message>
    <message>
        <source>Сохранить точки в CSV…</source>
        <translation>Save points as CSV…</translation>
    </message>
    <message>
        <source>Убрать курсоры</source>
        <translation>Remove cursors</translation>
    </message>
    <message>
        <source>Сбросить масштаб</source>
        <translation>Reset zoom</translation>
    </message>
    <message>
        <source>Сохранить график</source>
        <translation>Save plot</translation>
    </message>
    <message>
        <source>Изображения PNG (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1</source>
        <translation>Could not save the file %1</translation>
    </message>
    <message>
        <source>Сохранить точки</source>
        <translation>Save points</translation>
    </message>
    <message>
        <source>Таблицы CSV (*.csv)</source>
        <translation>CSV tables (*.csv)</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1: %2</source>
        <translation>Could not save the file %1: %2</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Остановить графики (пробел на графике)</source>
        <translation>Freeze the plots (space bar on a plot)</translation>
    </message>
    <message>
        <source>Параметр</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Ед. изм</source>
        <translation>Units</translation>
    </message>
    <message>
        <source>время, с</source>
        <translation>time, s</translation>
    </message>
    <message>
        <source>замеры</source>
        <translation>samples</translation>
    </message>
    <message>
        <source>Скрыть все</source>
        <translation>Hide all</translation>
    </message>
    <message>
        <source>Показывать все</source>
        <translation>Show all</translation>
    </message>
    <message>
        <source>Запись сеанса прервана (%1): %2</source>
        <translation>Session recording stopped (%1): %2</translation>
    </message>
    <message>
        <source>Запись сеанса сохранена: %1 (%2 записей)</source>
        <translation>Session recording saved: %1 (%2 records)</translation>
    </message>
    <message>
        <source>Не удалось начать запись сеанса: %1</source>
        <translation>Could not start recording the session: %1</translation>
    </message>
    <message>
        <source>Запись сеанса: %1</source>
        <translation>Recording the session: %1</translation>
    </message>
    <message>
        <source>Не отправлено: не длиннее %1 байт</source>
        <translation>Not sent: at most %1 bytes</translation>
    </message>
    <message>
        <source>Не отправлено: допустимо %1</source>
        <translation>Not sent: accepted %1</translation>
    </message>
    <message>
        <source> или </source>
        <translation> or </translation>
    </message>
    <message>
        <source>Запрос по MQTT:</source>
        <translation>Request via MQTT:</translation>
    </message>
    <message>
        <source>MQTT: подключение к %1...</source>
        <translation>MQTT: connecting to %1...</translation>
    </message>
    <message>
        <source>MQTT: подключено к %1</source>
        <translation>MQTT: connected to %1</translation>
    </message>
    <message>
        <source>MQTT: нет связи с %1 с %2</source>
        <translation>MQTT: no connection to %1 since %2</translation>
    </message>
    <message>
        <source>MQTT: %1 не принял имя пользователя или пароль</source>
        <translation>MQTT: %1 refused the user name or password</translation>
    </message>
    <message>
        <source>MQTT: узел %1 не найден</source>
        <translation>MQTT: host %1 not found</translation>
    </message>
    <message>
        <source>MQTT: %1 не отвечает</source>
        <translation>MQTT: %1 does not answer</translation>
    </message>
    <message>
        <source>, не доставлено отчётов: %1</source>
        <translation>, reports not delivered: %1</translation>
    </message>
    <message>
        <source> (потеряно: %1)</source>
        <translation> (lost: %1)</translation>
    </message>
    <message>
        <source>, непонятых команд: %1</source>
        <translation>, commands not understood: %1</translation>
    </message>
</context>
<context>
    <name>ReplayControl</name>
    <message>
        <source>Запись %1 воспроизведена до конца (%2 с)</source>
        <translation>Recording %1 played to the end (%2 s)</translation>
    </message>
    <message>
        <source>Запись %1 воспроизведена до %2 с: %3</source>
        <translation>Recording %1 played up to %2 s: %3</translation>
    </message>
    <message>
        <source>Пауза: %1, %2 с</source>
        <translation>Paused: %1, %2 s</translation>
    </message>
    <message>
        <source>Воспроизведение: %1, %2 с</source>
        <translation>Replaying: %1, %2 s</translation>
    </message>
    <message>
        <source>Пауза воспроизведения</source>
        <translation>Pause replay</translation>
    </message>
    <message>
        <source>Продолжить воспроизведение</source>
        <translation>Resume replay</translation>
    </message>
</context>
</TS>
