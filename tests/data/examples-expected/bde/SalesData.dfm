object SalesDM: TSalesDM
  OldCreateOrder = False
  Left = 192
  Top = 125
  Height = 300
  Width = 420
    object SalesDB: TOrxConnection
    LoginPrompt = False
    Username = 'SYSDBA'
    Password = 'masterkey'
    Server = 'dbhost:C:\Data\SALES.GDB'
    Left = 32
    Top = 16
  end
object SalesSession: TSession
    SessionName = 'SalesSession'
    Left = 320
    Top = 16
  end
    object CustomersTable: TOrxTable
    Active = True
    Filtered = True
    OnFilterRecord = CustomersTableFilterRecord
    Connection = SalesDM.SalesDB
    DetailFields = 'CUST_NO'
    TableName = 'CUSTOMER'
    Left = 32
    Top = 72
    AutoCommit = True
    object CustomersTableCUST_NO: TIntegerField
      FieldName = 'CUST_NO'
      Required = True
    end
    object CustomersTableNAME: TStringField
      DisplayLabel = 'Customer'
      FieldName = 'NAME'
      Size = 40
    end
    object CustomersTableCITY: TStringField
      FieldName = 'CITY'
      Size = 30
    end
  end
object CustomersSource: TDataSource
    DataSet = CustomersTable
    Left = 128
    Top = 16
  end
    object OrdersQuery: TOrxQuery
    CachedUpdates = True
    BeforeOpen = OrdersQueryBeforeOpen
    AfterPost = OrdersQueryAfterPost
    OnCalcFields = OrdersQueryCalcFields
    Connection = SalesDM.SalesDB
    MasterSource = CustomersSource
    SQL.Strings = (
            'select ORDER_NO, CUST_NO, AMOUNT'
            'from ORDERS'
            'where CUST_NO = :CUST_NO'
            'order by ORDER_NO')
    UpdateObject = OrdersUpdate
    Left = 128
    Top = 72
    ParamData = <
            item
              DataType = ftInteger
              Name = 'CUST_NO'
              ParamType = ptUnknown
            end>
    AutoCommit = True
    object OrdersQueryORDER_NO: TIntegerField
      FieldName = 'ORDER_NO'
      Origin = 'ORDERS.ORDER_NO'
    end
    object OrdersQueryCUST_NO: TIntegerField
      FieldName = 'CUST_NO'
      Origin = 'ORDERS.CUST_NO'
    end
    object OrdersQueryAMOUNT: TFloatField
      FieldName = 'AMOUNT'
      Origin = 'ORDERS.AMOUNT'
      currency = True
    end
    object OrdersQueryTAX: TFloatField
      FieldKind = fkCalculated
      FieldName = 'TAX'
      Calculated = True
    end
  end
object OrdersSource: TDataSource
    DataSet = OrdersQuery
    Left = 224
    Top = 16
  end
    object OrdersUpdate: TOrxUpdateSQL
    ModifySQL.Strings = (
            'update ORDERS'
            'set'
            '  AMOUNT = :AMOUNT'
            'where'
            '  ORDER_NO = :OLD_ORDER_NO')
    InsertSQL.Strings = (
            'insert into ORDERS'
            '  (ORDER_NO, CUST_NO, AMOUNT)'
            'values'
            '  (:ORDER_NO, :CUST_NO, :AMOUNT)')
    DeleteSQL.Strings = (
            'delete from ORDERS'
            'where'
            '  ORDER_NO = :OLD_ORDER_NO')
    Left = 224
    Top = 72
  end
  object NextOrderProc: TOrxStoredProc
    Connection = SalesDM.SalesDB
    StoredProcName = 'NEXT_ORDER_NO'
    Left = 320
    Top = 72
    ParamData = <
            item
              DataType = ftInteger
              Name = 'ORDER_NO'
              ParamType = ptOutput
            end>
    AutoCommit = True
  end
  object ItemsQuery: TOrxQuery
    Connection = SalesDM.SalesDB
    SQL.Strings = (
            'select * from ITEMS'
            'where ORDER_NO = :ORDER_NO')
    Left = 128
    Top = 136
    ParamData = <
            item
              DataType = ftInteger
              Name = 'ORDER_NO'
              ParamType = ptUnknown
            end>
    AutoCommit = True
  end
  object PartsTable: TOrxTable
    Connection = SalesDM.SalesDB
    IndexFieldNames = 'PART_NO'
    TableName = 'PARTS'
    Left = 224
    Top = 136
    AutoCommit = True
  end
end
