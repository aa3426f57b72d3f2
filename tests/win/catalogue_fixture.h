// ClipHarbor's message catalogue as the product ships it, one table per language tag, written
// out independently of resources/ClipHarbor.rc so that the tests compare two transcriptions.
// Texts are exact: leading blanks, doubled spaces, unaccented letters and "…" against "...".
#pragma once

#include <array>
#include <string_view>

namespace catalogue_fixture {

// Every program id; each of the six tables carries all of them.
inline constexpr std::array<unsigned, 25> kIds = {
    101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118,
    149, 150, 151, 152, 153, 154, 155};

struct Table {
    unsigned short langId;  // the table's language tag
    std::array<std::u8string_view, 25> texts;  // in the order of kIds
};

inline constexpr Table kEnglishUs = {1033, {
    u8"&About ClipHarbor...",  // 101
    u8"Preview",  // 102
    u8"Name",  // 103
    u8"Date",  // 104
    u8"Size",  // 105
    u8"Duration",  // 106
    u8"No Selection",  // 107
    u8"Multiple Selection",  // 108
    u8"Copy Selected File...",  // 109
    u8"Copy Selected Files...",  // 110
    u8"Move Selected File...",  // 111
    u8"Move Selected Files...",  // 112
    u8"Delete Selected File...",  // 113
    u8"The selected file will be deleted immediately. This function cannot be undone. Are you sure you want to delete the selected file?",  // 114
    u8"Zelkor ClipHarbor is designed to only work with the Tidewell DV from Zelkor.",  // 115
    u8"Error while deleting file %s [%s]",  // 116
    u8"Error while copying file %s [%s]",  // 117
    u8"Error while moving file %s [%s]",  // 118
    u8" free",  // 149
    u8" total",  // 150
    u8"Mounted Zelkor Tidewell DV",  // 151
    u8"Autolaunch When Zelkor Tidewell DV Is Mounted",  // 152
    u8"%d of %d selected, %s, %s total",  // 153
    u8"The selected files will be deleted immediately. This function cannot be undone. Are you sure you want to delete the selected files?",  // 154
    u8"Delete Selected Files...",  // 155
}};

// German tag: the English texts, except the four messages 115 to 118.
inline constexpr Table kGerman = {1031, {
    u8"&About ClipHarbor...",  // 101
    u8"Preview",  // 102
    u8"Name",  // 103
    u8"Date",  // 104
    u8"Size",  // 105
    u8"Duration",  // 106
    u8"No Selection",  // 107
    u8"Multiple Selection",  // 108
    u8"Copy Selected File...",  // 109
    u8"Copy Selected Files...",  // 110
    u8"Move Selected File...",  // 111
    u8"Move Selected Files...",  // 112
    u8"Delete Selected File...",  // 113
    u8"The selected file will be deleted immediately. This function cannot be undone. Are you sure you want to delete the selected file?",  // 114
    u8"Der Zelkor ClipHarbor arbeitet nur mit der Tidewell DV von Zelkor.",  // 115
    u8"Es ist ein Fehler beim Loschen des Dokumentes %s aufgetreten [%s]",  // 116
    u8"Es ist ein Fehler beim Kopieren des Dokumentes %s aufgetreten [%s]",  // 117
    u8"Es ist ein Fehler beim Verschieben des Dokumentes %s aufgetreten [%s]",  // 118
    u8" free",  // 149
    u8" total",  // 150
    u8"Mounted Zelkor Tidewell DV",  // 151
    u8"Autolaunch When Zelkor Tidewell DV Is Mounted",  // 152
    u8"%d of %d selected, %s, %s total",  // 153
    u8"The selected files will be deleted immediately. This function cannot be undone. Are you sure you want to delete the selected files?",  // 154
    u8"Delete Selected Files...",  // 155
}};

// French tag: German window texts with French error messages; 101 and 102 English.
inline constexpr Table kFrench = {1036, {
    u8"&About ClipHarbor...",  // 101
    u8"Preview",  // 102
    u8"Dokumentname",  // 103
    u8"Datum",  // 104
    u8"Grobe",  // 105
    u8"Dauer",  // 106
    u8"Keine Auswahl",  // 107
    u8"Mehrfachauswahl",  // 108
    u8"Ausgewahltes Dokument kopieren…",  // 109
    u8"Ausgewahlte Dokumente kopieren…",  // 110
    u8"Ausgewahltes Dokument verschieben…",  // 111
    u8"Ausgewahlte Dokumente verschieben…",  // 112
    u8"Ausgewahltes Dokument loschen…",  // 113
    u8"Das ausgewahlte Dokument wird sofort geloscht.  Diese Funktion kann nicht widerrufen werden.  Mochten Sie das Dokument wirklich loschen?",  // 114
    u8"Zelkor ClipHarbor est destiner a fonctionner uniquement avec Le Tidewell DV de Zelkor.",  // 115
    u8"Erreur pendant la suppression du fichier %s [%s]",  // 116
    u8"Erreur pendant la copie du fichier %s [%s]",  // 117
    u8"Erreur pendant le deplacement du fichier %s [%s]",  // 118
    u8" verfugbar",  // 149
    u8" gesamt",  // 150
    u8"Angeschlossen Wurde Zelkor Tidewell DV",  // 151
    u8"Automatisch starten, sobald Tidewell DV angeschlossen wurde",  // 152
    u8"%d von %d ausgewahlt, %s, %s gesamt",  // 153
    u8"Die ausgewahlten Dokumente werden sofort geloscht.  Diese Funktion kann nicht widerrufen werden.  Mochten Sie die Dokumente wirklich loschen?",  // 154
    u8"Ausgewahlte Dokumente loschen…",  // 155
}};

// Spanish tag (traditional sort): Spanish, except 101, 102 and 151; 153 half English.
inline constexpr Table kSpanish = {1034, {
    u8"&About ClipHarbor...",  // 101
    u8"Preview",  // 102
    u8"Nombre",  // 103
    u8"Fecha",  // 104
    u8"Tamano",  // 105
    u8"Duracion",  // 106
    u8"No Seleccion",  // 107
    u8"Varios Seleccionados",  // 108
    u8"Copiar Archivo Seleccionado…",  // 109
    u8"Copiar Archivos Seleccionados…",  // 110
    u8"Mover Archivo Seleccionado…",  // 111
    u8"Mover Archivos Seleccionados…",  // 112
    u8"Borrar Archivo Seleccionado…",  // 113
    u8"El archivo seleccionado sera borrado inmediatamente.  Esto no puede ser invertida.  ?Esta seguro que desea borrar el archivo seleccionado?",  // 114
    u8"El Zelkor ClipHarbor se diseoa para trabajar solamente con el Tidewell DV de Zelkor.",  // 115
    u8"Error mientras borrando el fichero %s [%s]",  // 116
    u8"Error mientras copiando el fichero %s [%s]",  // 117
    u8"Error mientras moviendo el fichero %s [%s]",  // 118
    u8" disponible",  // 149
    u8" total",  // 150
    u8"Mounted Zelkor Tidewell DV",  // 151
    u8"Lanzar Automaticamente Cuando Se Detecta el Tidewell DV",  // 152
    u8"%d of %d seleccionado, %s, %s total",  // 153
    u8"Los archivos seleccionados seran borrados inmediatamente.  Esto no puede ser invertida.  ?Esta seguro que desea borrar los archivos seleccionados?",  // 154
    u8"Borrar Archivos Seleccionados…",  // 155
}};

// Japanese tag: Japanese, except 101, 102 and 151; 153 opens with a double quote.
inline constexpr Table kJapanese = {1041, {
    u8"&About ClipHarbor...",  // 101
    u8"Preview",  // 102
    u8"名前",  // 103
    u8"日付",  // 104
    u8"サイズ",  // 105
    u8"表示時間",  // 106
    u8"選択されていません",  // 107
    u8"複数選択されています",  // 108
    u8"選択したファイルをコピーします…",  // 109
    u8"選択したファイルをコピーします…",  // 110
    u8"選択したファイルを移動します…",  // 111
    u8"選択したファイルを移動します…",  // 112
    u8"ファイルを削除します",  // 113
    u8"選択したファイルを削除します。キャンセルすることはできません。  実行してもよろしいですか？",  // 114
    u8"Zelkor ClipHarbor はZelkor 製Tidewell DVのみで動作するようになっています。",  // 115
    u8"%s [%s]のファイル削除中にエラーが発生しました",  // 116
    u8"%s [%s]のコピー中にエラーが発生しました",  // 117
    u8"%s [%s]のファイル移動中にエラーが発生しました",  // 118
    u8"空容量",  // 149
    u8"総容量",  // 150
    u8"Mounted Zelkor Tidewell DV",  // 151
    u8"Tidewell DVが認識されると自動でマウントされます",  // 152
    u8"\"%d of %d を選択, %s, %s, 総容量",  // 153
    u8"選択したファイルを削除します。キャンセルはできません。  実行してもよろしいですか?",  // 154
    u8"選択したファイルを削除します…",  // 155
}};

// Russian tag.
inline constexpr Table kRussian = {1049, {
    u8"&О ClipHarbor...",  // 101
    u8"Просмотр",  // 102
    u8"Имя",  // 103
    u8"Дата",  // 104
    u8"Размер",  // 105
    u8"Длительность",  // 106
    u8"Не выбрано",  // 107
    u8"Множественный выбор",  // 108
    u8"Копировать выделенный...",  // 109
    u8"Копировать выделенные...",  // 110
    u8"Переместить выделенный...",  // 111
    u8"Переместить выделенные...",  // 112
    u8"Удалить",  // 113
    u8"Выделенный клип будет немедленно удален. Это действие не может быть отменено. Вы уверены, что хотите удалить выделенный клип?",  // 114
    u8"Zelkor ClipHarbor разработан только для работы с Tidewell DV от  Zelkor.",  // 115
    u8"Ошибка удаления файла %s [%s]",  // 116
    u8"Ошибка копирования файла %s [%s]",  // 117
    u8"Ошибка перемещения файла %s [%s]",  // 118
    u8" свободно",  // 149
    u8" всего",  // 150
    u8"Подключенные Zelkor Tidewell DV",  // 151
    u8"Запускать ClipHarbor когда подключают Zelkor Tidewell DV",  // 152
    u8"Выбрано %d из %d, %s, %s всего",  // 153
    u8"Выделенные клипы будут немедленно удалены. Это действие не может быть отменено. Вы уверены, что хотите удалить выделенные клипы?",  // 154
    u8"Удалить",  // 155
}};

inline constexpr std::array<const Table*, 6> kTables = {&kEnglishUs, &kGerman, &kFrench,
                                                       &kSpanish, &kJapanese, &kRussian};

}  // namespace catalogue_fixture
